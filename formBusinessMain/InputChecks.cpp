#include "InputChecks.h"

#include <utility>

#include "PathList.h"
#include "Translate.h"
#include "TrimBlanks.h"

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

// What the statements could not carry: a NUL, or a backslash the database would read as an
// escape.
InputProblem StatementText(const UploadInput& in, const QString& remote) {
    if (in.remark.contains(QChar(0))) {
        return Problem(Tr("korvane", "备注中含有空字符（NUL），请删除后再上传！"),
                       InputField::Remark);
    }
    if (in.noBackslash) {
        for (const auto& [text, field] :
             {std::pair{remote, InputField::FilePath}, std::pair{in.remark, InputField::Remark}}) {
            if (text.contains(u'\\')) {
                return Problem(Tr("korvane",
                                  "该数据库把反斜杠（\\）当作转义符，%1中不能含有反斜杠，"
                                  "请去掉后再上传！")
                                   .arg(field == InputField::Remark ? Tr("korvane", "备注")
                                                                    : Tr("korvane", "文件名称")),
                               field);
            }
        }
    }
    return {};
}

// A bare path whose blanks at either end belong to a file's name (the box drops them).
InputProblem Blanks(const QString& typed, const QString& trimmed, const IsFile& isFile) {
    if (!isFile(typed)) {
        return {};
    }
    if (isFile(trimmed)) {
        return Problem(Tr("korvane",
                          "文件名称[%1]两端有空白，去掉空白后是另一个文件[%2]，不知道要上传哪一个。"
                          "请用“...”选择要上传的文件！")
                           .arg(typed, trimmed),
                       InputField::FilePath);
    }
    return Problem(Tr("korvane",
                      "所给上传文件不存在，请重新确定！\n文件[%1]的名称两端有空白，文件名称框会去掉"
                      "两端的空白，请用“...”选择该文件。")
                       .arg(typed),
                   InputField::FilePath);
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

InputProblem CheckUpload(const UploadInput& in, const IsFile& isFile) {
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
    return StatementText(in, remote);
}

UploadPlan PlanUpload(UploadInput in, const QString& typedPaths, const IsFile& isFile) {
    const QString trimmed = telmaris::TrimBlanks(typedPaths);
    UploadPlan plan;
    plan.paths = SplitPathList(trimmed);
    for (const QString& path : plan.paths.isEmpty() ? QStringList{QString()} : plan.paths) {
        in.path = path;
        plan.problem = CheckUpload(in, isFile);
        const bool onThePath = plan.problem.field == InputField::FilePath ||
                               plan.problem.field == InputField::Remark || plan.problem.Passed();
        if (onThePath && plan.paths.size() == 1 && trimmed != typedPaths) {
            const InputProblem blanks = Blanks(typedPaths, trimmed, isFile);
            plan.problem = blanks.Passed() ? plan.problem : blanks;
        }
        if (!plan.problem.Passed()) {
            return plan;
        }
        plan.remotes << RemoteName(in.id, path);
    }
    if (plan.remotes.removeDuplicates() > 0) {
        plan.problem =
            Problem(Tr("korvane", "所选的文件中有同名文件，同一申请单的文件名称不能重复！"),
                    InputField::FilePath);
    }
    return plan;
}

}  // namespace korvane
