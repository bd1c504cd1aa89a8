#include "TCustomControlXP.h"

#include "HostControls.h"

TCustomControlXP::TCustomControlXP(QWidget* owner) : QWidget(owner) {}

namespace TcustomcontrolXP {

void Register() {
    telmaris::RegisterComponents(QStringLiteral("TELMARIS"), {&TCustomControlXP::staticMetaObject});
}

}  // namespace TcustomcontrolXP
