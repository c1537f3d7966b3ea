#pragma once
// The internet layer's one table of error numbers and English texts. Numbers are stable (they
// end up in run logs) and never reuse libcurl's: libcurl codes, HTTP and FTP failures are all
// mapped onto this table.
#include <string_view>

#include "inet/inet.h"

namespace tk::inet {

enum class ErrorCode : int {
  None = 0,
  Internal = 12001,          // a libcurl call failed in a way no other entry describes
  Timeout = 12002,           // nothing received for the stall time, or the connect time ran out
  InvalidUrl = 12005,
  UnsupportedScheme = 12006,
  NameNotResolved = 12007,
  CannotConnect = 12029,
  ConnectionAborted = 12030, // the server closed the connection mid-transfer
  ConnectionReset = 12031,
  SessionClosed = 12017,     // the session was closed (cancel): the call was interrupted
  InvalidServerResponse = 12152,
  BodyTooShort = 12160,      // the body ended before its Content-Length
  BrokenChunkedBody = 12161, // a chunked body was malformed or cut off
  SendFailed = 12162,
  ReceiveFailed = 12163,
  ProxyFailed = 12164,
  SecureChannel = 12165,
  FtpLoginFailed = 12170,
  FtpFileNotFound = 12171,
  FtpDataConnection = 12172, // neither an active nor a passive data connection could be made
  FtpTransferFailed = 12173,
  FtpListingFailed = 12174,
  AuthenticationFailed = 12180,
  OutOfMemory = 12181,
  TooManyRedirects = 12182,
};

// The table's text for a number; "Unknown internet error" for a number not in the table.
std::string_view ErrorText(ErrorCode code);

// An Error with the table's text, followed by ": " and `detail` when there is one, cut to at
// most 1,024 bytes (never inside a UTF-8 sequence).
Error MakeError(ErrorCode code, std::string_view detail = {});

inline constexpr std::size_t kMaxErrorMessage = 1024;

}  // namespace tk::inet
