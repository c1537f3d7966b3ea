#include "inet/errors.h"

#include <string>

namespace tk::inet {

std::string_view ErrorText(ErrorCode code) {
  switch (code) {
    case ErrorCode::None: return "No error";
    case ErrorCode::Internal: return "An internal error occurred in the internet layer";
    case ErrorCode::Timeout: return "The operation timed out";
    case ErrorCode::InvalidUrl: return "The URL is invalid";
    case ErrorCode::UnsupportedScheme: return "The URL does not use a recognized protocol";
    case ErrorCode::NameNotResolved: return "The server name or address could not be resolved";
    case ErrorCode::CannotConnect: return "A connection with the server could not be established";
    case ErrorCode::ConnectionAborted:
      return "The connection with the server was terminated abnormally";
    case ErrorCode::ConnectionReset: return "The connection with the server has been reset";
    case ErrorCode::SessionClosed: return "The operation was canceled: the session was closed";
    case ErrorCode::InvalidServerResponse: return "The server response could not be parsed";
    case ErrorCode::BodyTooShort: return "The response body ended before its Content-Length";
    case ErrorCode::BrokenChunkedBody: return "The chunked response body is broken";
    case ErrorCode::SendFailed: return "The request could not be sent to the server";
    case ErrorCode::ReceiveFailed: return "Data could not be received from the server";
    case ErrorCode::ProxyFailed: return "The proxy server could not be used";
    case ErrorCode::SecureChannel: return "A secure channel could not be established";
    case ErrorCode::FtpLoginFailed: return "The login to the FTP server failed";
    case ErrorCode::FtpFileNotFound: return "The file or directory was not found on the FTP server";
    case ErrorCode::FtpDataConnection: return "The FTP data connection could not be established";
    case ErrorCode::FtpTransferFailed: return "The FTP transfer failed";
    case ErrorCode::FtpListingFailed: return "The FTP directory listing failed";
    case ErrorCode::AuthenticationFailed: return "The server refused the credentials";
    case ErrorCode::OutOfMemory: return "Not enough memory to complete the operation";
    case ErrorCode::TooManyRedirects: return "Too many redirects";
  }
  return "Unknown internet error";
}

Error MakeError(ErrorCode code, std::string_view detail) {
  Error err;
  err.number = static_cast<int>(code);
  const std::string_view text = ErrorText(code);
  // Built in one piece: GCC 12 warns about the appends of a growing string at -O2.
  err.message.resize(text.size() + (detail.empty() ? 0 : 2 + detail.size()));
  text.copy(err.message.data(), text.size());
  if (!detail.empty()) {
    err.message[text.size()] = ':';
    err.message[text.size() + 1] = ' ';
    detail.copy(err.message.data() + text.size() + 2, detail.size());
  }
  if (err.message.size() > kMaxErrorMessage) {
    std::size_t cut = kMaxErrorMessage;
    // Step back over UTF-8 continuation bytes so that the text stays valid.
    while (cut > 0 && (static_cast<unsigned char>(err.message[cut]) & 0xC0) == 0x80) --cut;
    err.message.resize(cut);
  }
  return err;
}

}  // namespace tk::inet
