#include "ui/user_interface.h"

bool CancelRequested = false;
bool FullRepaintPending = false;

namespace {
UserInterface* current = nullptr;
}

UserInterface& CurrentUserInterface() { return current ? *current : PlatformUserInterface(); }

void SetCurrentUserInterface(UserInterface* ui) { current = ui; }
