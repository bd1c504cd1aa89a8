#include "InputChecks.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane {

namespace {

QString BadOrderNumber() {
    return Tr("korvane", "申请单号只能是不超过18位的数字，请重新输入！");
}

InputProblem Problem(const QString& message, InputField field) {
    return InputProblem{message, field};
}

// "最多300个字符，现有301个" or "最多300字节（一个汉字占3字节），现有302字节".
QString Limit(int limit, int length, LengthUnit unit) {
    if (unit == LengthUnit::Utf8Bytes) {
        return Tr("korvane", "最多%1字节（一个汉字占3字节），现有%2字节").arg(limit).arg(length);
    }
    return Tr("korvane", "最多%1个字符，现有%2个").arg(limit).arg(length);
}

// A long name shown in a message: its start, and an ellipsis.
QString Shown(const QString& name) {
    constexpr int kShown = 40;
    return name.size() <= kShown ? name : name.left(kShown) + QStringLiteral("…");
}

}  // namespace

LengthUnit LengthUnitOf(db::Backend dialect) {
    return dialect == db::Backend::Oracle ? LengthUnit::Utf8Bytes : LengthUnit::Characters;
}

int TextLength(const QString& text, LengthUnit unit) {
    if (unit == LengthUnit::Utf8Bytes) {
        return static_cast<int>(text.toUtf8().size());
    }
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        if (!(text.at(i).isHighSurrogate() && i + 1 < text.size() &&
              text.at(i + 1).isLowSurrogate())) {
            ++n;
        }
    }
    return n;
}

InputProblem CheckSearch(const SearchConditions& c) {
    if (c.id.isEmpty() && c.type.isEmpty() && c.name.isEmpty() && !c.useDates) {
        return Problem(Tr("korvane", "请至少确定一个查询条件"), InputField::OrderNumber);
    }
    if (!c.id.isEmpty() && !IsOrderNumber(c.id)) {
        return Problem(BadOrderNumber(), InputField::OrderNumber);
    }
    return {};
}

InputProblem CheckUpload(const UploadInput& in, const std::function<bool(const QString&)>& isFile) {
    if (in.id.isEmpty()) {
        return Problem(Tr("korvane", "申请单号不能为空，请输入！"), InputField::OrderNumber);
    }
    if (!IsOrderNumber(in.id)) {
        return Problem(BadOrderNumber(), InputField::OrderNumber);
    }
    if (in.type.isEmpty() || in.type == u"0") {
        return Problem(Tr("korvane", "申请单类型不能为空或为[全部]，请重新选择！"),
                       InputField::OrderType);
    }
    if (in.path.isEmpty()) {
        return Problem(Tr("korvane", "请确定要上传的文件名称！"), InputField::FilePath);
    }
    if (!isFile(in.path)) {
        return Problem(Tr("korvane", "所给上传文件不存在，请重新确定！"), InputField::FilePath);
    }
    const QString remote = RemoteName(in.id, in.path);
    const int nameLength = TextLength(remote, in.unit);
    if (nameLength > kMaxRemoteNameLength) {
        return Problem(Tr("korvane", "服务器上的文件名[%1]%2，请改短文件名后再上传！")
                           .arg(Shown(remote), Limit(kMaxRemoteNameLength, nameLength, in.unit)),
                       InputField::FilePath);
    }
    const int remarkLength = TextLength(in.remark, in.unit);
    if (remarkLength > kMaxRemarkLength) {
        return Problem(
            Tr("korvane", "备注%1，请删减！").arg(Limit(kMaxRemarkLength, remarkLength, in.unit)),
            InputField::Remark);
    }
    return {};
}

}  // namespace korvane
