#pragma once

#include "ui/OverlayPanel.h"

class Installer;

// The last word before the install runs.
class InstallConfirmation : public OverlayPanel
{
    Q_OBJECT

public:
    InstallConfirmation(Installer &installer, QWidget *parent = nullptr);
};
