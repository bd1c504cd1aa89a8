#include "BusinessCommon.h"

int32_t ExtractItemCode(const QString& itemText) {
    if (!itemText.startsWith(u'[')) {
        return 0;
    }
    const qsizetype close = itemText.indexOf(u']');
    if (close < 2) {
        return 0;
    }
    const QString number = itemText.mid(1, close - 1);
    for (qsizetype i = 0; i < number.size(); ++i) {
        const QChar c = number.at(i);
        const bool sign = (i == 0 && c == u'-' && number.size() > 1);
        if (!sign && !(c >= u'0' && c <= u'9')) {
            return 0;
        }
    }
    bool ok = false;
    const int value = number.toInt(&ok);
    return ok ? value : 0;
}
