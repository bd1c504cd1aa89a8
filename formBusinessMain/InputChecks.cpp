#include "InputChecks.h"

namespace korvane {

namespace {

const QString& BadOrderNumber() {
    static const QString text = QStringLiteral("申请单号只能是不超过18位的数字，请重新输入！");
    return text;
}

InputProblem Problem(const QString& message, InputField field) {
    return InputProblem{message, field};
}

}  // namespace

InputProblem CheckSearch(const SearchConditions& c) {
    if (c.id.isEmpty() && c.type.isEmpty() && c.name.isEmpty() && !c.useDates) {
        return Problem(QStringLiteral("请至少确定一个查询条件"), InputField::OrderNumber);
    }
    if (!c.id.isEmpty() && !IsOrderNumber(c.id)) {
        return Problem(BadOrderNumber(), InputField::OrderNumber);
    }
    return {};
}

InputProblem CheckUpload(const UploadInput& in, const std::function<bool(const QString&)>& isFile) {
    if (in.id.isEmpty()) {
        return Problem(QStringLiteral("申请单号不能为空，请输入！"), InputField::OrderNumber);
    }
    if (!IsOrderNumber(in.id)) {
        return Problem(BadOrderNumber(), InputField::OrderNumber);
    }
    if (in.type.isEmpty() || in.type == u"0") {
        return Problem(QStringLiteral("申请单类型不能为空或为[全部]，请重新选择！"),
                       InputField::OrderType);
    }
    if (in.path.isEmpty()) {
        return Problem(QStringLiteral("请确定要上传的文件名称！"), InputField::FilePath);
    }
    if (!isFile(in.path)) {
        return Problem(QStringLiteral("所给上传文件不存在，请重新确定！"), InputField::FilePath);
    }
    return {};
}

}  // namespace korvane
