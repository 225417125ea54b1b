#include "script/AutomationPolicy.h"

std::shared_ptr<const AutomationPolicy> AutomationPolicy::platformDefault()
{
    return std::make_shared<FixedAutomationPolicy>(true);
}
