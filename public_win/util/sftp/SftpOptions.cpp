#include "SftpOptions.h"

#include <QByteArray>
#include <QRegularExpression>

#include "Translate.h"

namespace korvane::sftp {

namespace {
// 32 bytes of SHA-256 are 43 characters of base64 without padding; ssh-keygen drops the '='.
bool IsSha256Fingerprint(const QString& word) {
    static const QRegularExpression form(QStringLiteral("^SHA256:[A-Za-z0-9+/]{43}$"));
    if (!form.match(word).hasMatch()) {
        return false;
    }
    const QByteArray digest = QByteArray::fromBase64(word.mid(7).toLatin1() + '=');
    return digest.size() == 32;
}
}  // namespace

bool ParseHostKeyFingerprints(const QString& text, QStringList* out, QString* error) {
    out->clear();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& word : text.split(blanks, Qt::SkipEmptyParts)) {
        if (!IsSha256Fingerprint(word)) {
            *error = Tr("korvane",
                        "系统参数korvane_sftp_hostkey中的“%1”不是SHA256指纹（应为ssh-keygen -lf "
                        "显示的SHA256:开头的43个字符）")
                         .arg(word);
            out->clear();
            return false;
        }
        out->append(word);
    }
    return true;
}

}  // namespace korvane::sftp
