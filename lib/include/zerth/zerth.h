// The Zerth library: include this for every public class.
#pragma once

#include <zerth/CAppOctetStream.h>
#include <zerth/CBase64.h>
#include <zerth/CIMapi.h>
#include <zerth/CMIMECode.h>
#include <zerth/CMIMEContentAgent.h>
#include <zerth/CMIMEMessage.h>
#include <zerth/CMailMessage.h>
#include <zerth/CSMTP.h>
#include <zerth/CTextPlain.h>
#include <zerth/CZerthUtility.h>
#include <zerth/Crypt.h>
#include <zerth/mapi.h>
