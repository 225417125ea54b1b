#pragma once

#include "ui/OverlayPanel.h"

class AppSettings;

// Asks the user to agree to the licence before going on.
class AgreementAlert : public OverlayPanel
{
    Q_OBJECT

public:
    AgreementAlert(AppSettings &settings, QWidget *parent = nullptr);
};
