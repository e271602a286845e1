// The Zerth library: include this for every public class.
#pragma once

#include <zerth/CIMapi.h>
#include <zerth/CMailMessage.h>
#include <zerth/CSMTP.h>
#include <zerth/mapi.h>
