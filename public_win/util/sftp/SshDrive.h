#pragma once

#include "SshLink.h"

namespace korvane::sftp {

template <typename Call>
store::Result SshLink::Drive(Call call, int again, int* rc, const Deadline& deadline,
                             const QString& what) {
    for (;;) {
        *rc = call();
        if (*rc != again) {
            return store::Result::Success();
        }
        if (deadline.Cancelled()) {
            return Cancelled();
        }
        if (deadline.Expired()) {
            return TimedOut(what, deadline.TimeoutMs());
        }
        WaitForSocket(deadline.SliceMs());
    }
}

}  // namespace korvane::sftp
