#include "core/active.h"

#include "core/active_scheduler.h"
#include "os/log.h"
#include "os/text.h"

namespace {
// Ids only name objects in fatal-error texts; construction happens on the GUI thread.
int32_t g_next_id = 1;

// The location is measured only on failure: set_active runs for every request.
CActiveScheduler& scheduler_for(const char16_t* location) {
    CActiveScheduler* scheduler = CActiveScheduler::instance();
    if (!scheduler) os::fatal_error(location, u"No active scheduler");
    return *scheduler;
}
}  // namespace

CActive::CActive() : m_id(g_next_id++) {}

CActive::~CActive() {
    if (is_active()) {
        os::fatal_error(u"CActive::~CActive()", u"Active object " + os::to_text(m_id) + u" is already active");
    }
}

void CActive::set_active() { scheduler_for(u"CActive::set_active()").set_active(*this); }

void CActive::cancel() {
    if (!is_active()) return;
    scheduler_for(u"CActive::cancel()").cancel(*this);
}
