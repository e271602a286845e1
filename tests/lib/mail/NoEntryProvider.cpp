// A library that looks like a mail provider but lacks MAPISendMail.
extern "C" int MAPILogon() { return 0; }
