#include "FtpStatus.h"
#include "FtpOptions.h"

namespace ftp {

namespace {
std::atomic<TranslateHook> gTranslate{nullptr};

// The waits' names as the translation tools see them.
[[maybe_unused]] void WaitNames() {
    Tr("ftp", "连接服务器");
    Tr("ftp", "等待服务器应答");
    Tr("ftp", "等待数据连接");
    Tr("ftp", "读取数据");
    Tr("ftp", "发送数据");
}
}  // namespace

void SetTranslateHook(TranslateHook hook) {
    gTranslate.store(hook);
}

std::string Tr(const char* context, const char* source) {
    const TranslateHook hook = gTranslate.load();
    return hook != nullptr ? hook(context, source) : std::string(source);
}

std::string Arg(std::string pattern, std::initializer_list<std::string> args) {
    int n = 1;
    for (const std::string& arg : args) {
        const std::string marker = "%" + std::to_string(n++);
        const std::size_t at = pattern.find(marker);
        if (at != std::string::npos) {
            pattern.replace(at, marker.size(), arg);
        }
    }
    return pattern;
}

std::string OwnErrorText(int code) {
    switch (code) {
        case kErrConnectionAborted:
            return Tr("ftp", "连接被服务器断开");
        case kErrProtocol:
            return Tr("ftp", "服务器的应答无法识别");
        case kErrBadName:
            return Tr("ftp", "名称中含有换行符");
        case kErrCancelled:
            return Tr("ftp", "操作已取消");
        default:
            return std::string();
    }
}

Status Status::Timeout(const char* what, int timeoutMs) {
    const int seconds = (timeoutMs + 999) / 1000;
    return Own(kErrTimeout,
               Arg(Tr("ftp", "%1超时（%2秒）"), {Tr("ftp", what), std::to_string(seconds)}));
}

Status Status::Cancelled() {
    return Own(kErrCancelled, OwnErrorText(kErrCancelled));
}

}  // namespace ftp
