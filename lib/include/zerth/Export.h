// ZERTH_API: marks what libzerth.so exports. The library is built with hidden
// visibility, so only the classes and functions marked here (with their
// vtables and typeinfo) reach its dynamic symbol table; its own helpers
// (the SMTP client's socket and reply buffer, the verbose trace) stay inside.
// For a program that includes the headers the mark changes nothing.
#pragma once

#define ZERTH_API __attribute__((visibility("default")))
