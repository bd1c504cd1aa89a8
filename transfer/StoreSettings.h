#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "FileStore.h"
#include "FtpOptions.h"

namespace korvane {

enum class Protocol { Ftp };

// What one transfer needs to know of the site's file store, from the system parameters.
struct StoreSettings {
    Protocol protocol = Protocol::Ftp;  // korvane_protocol
    // korvane_ip, korvane_user, korvane_pwd, korvane_path, used as they come.
    store::Endpoint endpoint;
    // korvane_ftp_mode, korvane_ftp_resume (offset by default: a 350 reply that names the
    // offset), korvane_ftp_encoding (auto by default), korvane_ftp_tls (off by default),
    // korvane_ftp_cafile, korvane_ftp_fingerprint; what sessions learn of the server is kept in
    // the operator's state folder.
    ftp::ClientOptions ftp;
    // korvane_ftp_upload: rename (the default) stores under a temporary name and puts the file
    // in place once registered, so that a failed upload never damages the file there; direct
    // stores under the final name.
    bool viaTemporary = true;
    std::optional<int> timeoutSeconds;  // korvane_ftp_timeout; unset: the caller's default
    // korvane_keep_versions: how many earlier contents of a replaced name stay on the store.
    int keepVersions = 10;
};

// Reads the settings through parameter (a system parameter's value by name, empty when it is
// absent). The four of the server are used as they come; the others are trimmed, compared
// ignoring case, and an empty one means its default. False with a message naming the
// parameter when a value is not one of its own.
bool ReadStoreSettings(const std::function<QString(const QString&)>& parameter, StoreSettings* out,
                       QString* error);

// Whether a broken-off download is sure to continue where it stopped next time: the server's
// consent to a restart is known to be understood.
bool ResumeIsSure(const StoreSettings& settings);

// The store the settings name: one session of the site's backend.
std::unique_ptr<store::FileStore> MakeStore(const StoreSettings& settings,
                                            const store::Timeouts& timeouts, store::Clock* clock);

}  // namespace korvane
