#include "ui/user_interface.h"

bool CancelRequested = false;
bool FullRepaintPending = false;
