#pragma once

#include "ui/OverlayPanel.h"

class AppSettings;

// The last word before the install runs.
class InstallConfirmation : public OverlayPanel
{
    Q_OBJECT

public:
    InstallConfirmation(AppSettings &settings, QWidget *parent = nullptr);
};
