#pragma once

#include <string>

#include "StoreBasics.h"

namespace ftp {

// How long each kind of network wait may last.
using Timeouts = korvane::store::Timeouts;

// How data connections are made: the client listens (PORT/EPRT), the server listens
// (EPSV, else PASV), or active first and passive for the rest of the session once active fails.
enum class DataMode { Active, Passive, Auto };

// When a restart is accepted: the reply must contain "350 Restarting at N", or any 350 reply
// (RFC 959), or a 350 reply that names the offset N (vsftpd's "Restart position accepted (N)",
// pyftpdlib's "Restarting at position N").
enum class RestartRule { Strict, AnyCode350, Offset };

// off: plain FTP. explicit: AUTH TLS before the login, refused means failed. auto: AUTH TLS
// where the server accepts it, else plain. implicit: TLS from the first byte.
enum class TlsMode { Off, Explicit, Auto, Implicit };

struct TlsSettings {
    TlsMode mode = TlsMode::Off;
    std::string caFile;       // PEM certificates to trust; empty: the system's store
    std::string fingerprint;  // SHA-256 of the server's certificate: pins it, no CA check
};

// How a site's server is reached; the defaults are the plain client's: active mode, the
// restart accepted in the words "350 Restarting at N", stores under the final name.
struct ClientOptions {
    DataMode mode = DataMode::Active;
    RestartRule restart = RestartRule::Strict;
    // PutFile stores under a temporary name of this upload's own and renames it to the final
    // name once the server confirmed the store, so that a failed upload never damages the file
    // there.
    bool storeViaPart = false;
    // The encoding of names on the control connection: "auto" (UTF-8 where FEAT lists UTF8,
    // else GBK) or a name iconv knows. Names are passed to the client in UTF-8.
    std::string encoding = "UTF-8";
    // FTPS: off, explicit (AUTH TLS), auto (where the server offers it) or implicit, and what
    // the server's certificate is checked against.
    TlsSettings tls;
    // The folder where what a session learns of a server is kept for the next sessions (active
    // mode fails, it spoke TLS; see ftp::ServerMemory); empty: kept nowhere.
    std::string stateFolder;
};

// The hooks are process-wide, set once at start-up (before any session runs) and read without
// a lock by every worker.

// Sees every line of every control conversation: sent (true) or received, and its text; a
// password is never shown ("PASS ****").
using TraceHook = void (*)(bool sent, const std::string& text);
void SetTraceHook(TraceHook hook);
// Hears what the operator's log must show beyond the trace (a session left unencrypted).
using WarningHook = void (*)(const std::string& text);
void SetWarningHook(WarningHook hook);
// Translates the layer's Chinese source texts into the application's language.
using TranslateHook = std::string (*)(const char* context, const char* source);
void SetTranslateHook(TranslateHook hook);

}  // namespace ftp
