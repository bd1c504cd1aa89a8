#include "ModuleTemplate.h"

#include <cstring>
#include <new>

#include "GuiServices.h"
#include "TfrmBusinessMain.h"
#include "Translate.h"
#include "VersionIdent.h"

using korvane::Tr;

TfrmBusinessMain* frmBusinessMain = nullptr;

namespace {
// The module's interface text: empty.
const char kInterfaceText[korvane::kInterfaceTextSize] = {};
const int32_t kModuleIds[] = {10001};
constexpr int32_t kModuleIdCount = 1;
constexpr int32_t kFormNumber = 1021;
}  // namespace

int32_t QueryCvsIntf(int32_t, char* buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    const std::string text = korvane::TrimInterfaceText(kInterfaceText, sizeof kInterfaceText);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

int32_t GetModuleId(int32_t index) {
    if (index < 0) {
        return kModuleIdCount;
    }
    return index < kModuleIdCount ? kModuleIds[index] : -1;
}

TfrmBusinessMain* CreateBusinessForm(int32_t, SessionInfo* session) {
    if (session == nullptr) {
        return nullptr;
    }
    const int32_t operatorId = session->OperatorId;
    const int32_t first = session->Trailing1;
    const auto second = static_cast<uint16_t>(session->Trailing2 & 0xFFFF);
    const auto third = static_cast<uint16_t>(session->Trailing3 & 0xFFFF);
    const QString text = QString::fromStdString(session->SessionText);
    auto* form = new (std::nothrow) TfrmBusinessMain(nullptr);
    if (form == nullptr) {
        ShowGUIMessage(Tr("korvane", "内存不足，无法创建对象!"), Tr("korvane", "异常"),
                       MB_ICONERROR);
        return nullptr;
    }
    form->update();
    form->InitBusinessForm(kFormNumber, third, second, first, operatorId, text);
    return form;
}
