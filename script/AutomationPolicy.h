#pragma once

#include <QString>

#include <memory>

// Whether a script may address (automate) another application. macOS guards
// this with a per-application permission; Linux has nothing of the kind.
class AutomationPolicy
{
public:
    virtual ~AutomationPolicy() = default;
    virtual bool allows(const QString &application) const = 0;

    // This platform's policy: allows every application.
    static std::shared_ptr<const AutomationPolicy> platformDefault();
};

// Allows or refuses every application alike; tests use the refusing kind.
class FixedAutomationPolicy : public AutomationPolicy
{
public:
    explicit FixedAutomationPolicy(bool allowed) : m_allowed(allowed) {}
    bool allows(const QString &) const override { return m_allowed; }

private:
    bool m_allowed;
};
