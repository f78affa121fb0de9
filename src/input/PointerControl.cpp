// The executor's pointer operations.
#include "input/Truncate.h"
#include "platform/Desktop.h"
#include "protocol/CommandExecutor.h"

void CCommandExecutor::MoveCursorBy(float dx, float dy) {
    if (!m_pDesktop) return;
    const ScreenPoint at = m_pDesktop->GetCursorPos();
    // No clamping of our own: the system keeps the pointer on the screen.
    m_pDesktop->SetCursorPos(at.x + TruncateToInt(dx), at.y + TruncateToInt(dy));
}
