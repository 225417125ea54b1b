<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AgreementAlert</name>
    <message>
        <source>To continue using the software you must agree to the terms of the software license agreement.</source>
        <translation>Um die Software weiter zu verwenden, müssen Sie den Bedingungen des Software-Lizenzvertrags zustimmen.</translation>
    </message>
    <message>
        <source>Click Agree to continue or click Disagree to cancel and quit the Installer.</source>
        <translation>Klicken Sie auf „Zustimmen“, um fortzufahren, oder auf „Ablehnen“, um abzubrechen und das Installationsprogramm zu beenden.</translation>
    </message>
    <message>
        <source>License agreement</source>
        <translation>Lizenzvertrag</translation>
    </message>
    <message>
        <source>Read License</source>
        <translation>Lizenz lesen</translation>
    </message>
    <message>
        <source>Disagree</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Agree</source>
        <translation>Zustimmen</translation>
    </message>
</context>
<context>
    <name>DefaultMenuBar</name>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>The installer and the plug-ins it installs are licensed under the Quorvantic Software License Agreement shown on the License page.</source>
        <translation>Das Installationsprogramm und die installierten Plug-ins unterliegen dem Quorvantic-Software-Lizenzvertrag, der auf der Seite „Lizenz“ angezeigt wird.</translation>
    </message>
    <message>
        <source>Help: the README beside the installer</source>
        <translation>Hilfe: die README neben dem Installationsprogramm</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Quorvantic Plugin Installer &amp;Help</source>
        <translation>&amp;Hilfe zum Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>&amp;Quorvantic Plugin Installer</source>
        <translation>&amp;Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>&amp;About Quorvantic Plugin Installer</source>
        <translation>Ü&amp;ber Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>About Quorvantic Plugin Installer</source>
        <translation>Über Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>&amp;Quit Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer &amp;beenden</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation>Mi&amp;nimieren</translation>
    </message>
    <message>
        <source>&amp;Maximize</source>
        <translation>&amp;Maximieren</translation>
    </message>
</context>
<context>
    <name>FinderAccessAlert</name>
    <message>
        <source>To make changes with Installer please allow Finder access from Settings</source>
        <translation>Damit das Installationsprogramm Änderungen vornehmen kann, erlauben Sie bitte in den Einstellungen den Zugriff auf den Dateimanager</translation>
    </message>
    <message>
        <source>Finder access</source>
        <translation>Zugriff auf den Dateimanager</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Open settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
</context>
<context>
    <name>InstallConfirmation</name>
    <message>
        <source>Click &quot;Install&quot; button to complete the installation.</source>
        <translation>Klicken Sie auf „Installieren“, um die Installation abzuschließen.</translation>
    </message>
    <message>
        <source>Confirm installation</source>
        <translation>Installation bestätigen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installieren</translation>
    </message>
</context>
<context>
    <name>InstallProgress</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 – stopping after this step</source>
        <translation>%1 – wird nach diesem Schritt beendet</translation>
    </message>
    <message>
        <source>Installing</source>
        <translation>Installation läuft</translation>
    </message>
    <message>
        <source>Installing (step %1 of %2)</source>
        <translation>Installation läuft (Schritt %1 von %2)</translation>
    </message>
    <message>
        <source>Installing %1 (step %2 of %3)</source>
        <translation>%1 wird installiert (Schritt %2 von %3)</translation>
    </message>
    <message>
        <source>Uninstalling (step %1 of %2)</source>
        <translation>Deinstallation läuft (Schritt %1 von %2)</translation>
    </message>
</context>
<context>
    <name>IntroPage</name>
    <message>
        <source>You will be guided through the steps necessary to use this software.</source>
        <translation>Sie werden durch die Schritte geführt, die zur Verwendung dieser Software nötig sind.</translation>
    </message>
</context>
<context>
    <name>LicenseText</name>
    <message>
        <source>License agreement text</source>
        <translation>Text des Lizenzvertrags</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>Log text</source>
        <translation>Protokolltext</translation>
    </message>
    <message>
        <source>Copy to Clipboard</source>
        <translation>In die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Full log: %1</source>
        <translation>Vollständiges Protokoll: %1</translation>
    </message>
    <message>
        <source>Installation log</source>
        <translation>Installationsprotokoll</translation>
    </message>
</context>
<context>
    <name>PageRow</name>
    <message>
        <source>Step %1 of %2, current</source>
        <translation>Schritt %1 von %2, aktuell</translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation>Schritt %1 von %2</translation>
    </message>
</context>
<context>
    <name>PageTexts</name>
    <message>
        <source>Introduction</source>
        <translation>Einführung</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Lizenz</translation>
    </message>
    <message>
        <source>Products</source>
        <translation>Produkte</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>Software License Agreement</source>
        <translation>Software-Lizenzvertrag</translation>
    </message>
    <message>
        <source>The following Products will be installed</source>
        <translation>Die folgenden Produkte werden installiert</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
    <message>
        <source>Go Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Quorvantic Plugin Installer</source>
        <translation>Quorvantic Plugin Installer</translation>
    </message>
    <message>
        <source>%1 — %2, step %3 of %4</source>
        <translation>%1 — %2, Schritt %3 von %4</translation>
    </message>
</context>
<context>
    <name>ProductListPage</name>
    <message>
        <source>Products to install</source>
        <translation>Zu installierende Produkte</translation>
    </message>
</context>
<context>
    <name>QuorvanticInstallerApp</name>
    <message>
        <source>&amp;Uninstall Quorvantic Plug-ins…</source>
        <translation>Quorvantic-Plug-ins &amp;deinstallieren …</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Quorvantic logo</source>
        <translation>Quorvantic-Logo</translation>
    </message>
    <message>
        <source>Steps</source>
        <translation>Schritte</translation>
    </message>
</context>
<context>
    <name>SummaryPage</name>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>The installation was not completed successfully.</source>
        <translation>Die Installation wurde nicht erfolgreich abgeschlossen.</translation>
    </message>
    <message>
        <source>You have been successfully installed selected products.</source>
        <translation>Die ausgewählten Produkte wurden erfolgreich installiert.</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Succeeded</source>
        <translation>Erfolgreich</translation>
    </message>
</context>
<context>
    <name>UninstallDialog</name>
    <message>
        <source>%1, version %2, installed %3</source>
        <translation>%1, Version %2, installiert am %3</translation>
    </message>
    <message>
        <source>Uninstall Quorvantic Plug-ins</source>
        <translation>Quorvantic-Plug-ins deinstallieren</translation>
    </message>
    <message>
        <source>Remove these Quorvantic plug-ins from this computer?</source>
        <translation>Diese Quorvantic-Plug-ins von diesem Computer entfernen?</translation>
    </message>
    <message>
        <source>Files changed since they were installed are kept.</source>
        <translation>Dateien, die seit der Installation geändert wurden, bleiben erhalten.</translation>
    </message>
    <message>
        <source>Uninstall</source>
        <translation>Deinstallieren</translation>
    </message>
    <message>
        <source>The Quorvantic plug-ins were uninstalled.</source>
        <translation>Die Quorvantic-Plug-ins wurden deinstalliert.</translation>
    </message>
    <message>
        <source>The uninstall failed.</source>
        <translation>Die Deinstallation ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Kept, because they changed since they were installed:</source>
        <translation>Erhalten, weil sie seit der Installation geändert wurden:</translation>
    </message>
    <message>
        <source>Full log: %1</source>
        <translation>Vollständiges Protokoll: %1</translation>
    </message>
    <message>
        <source>No Quorvantic plug-ins are installed.</source>
        <translation>Es sind keine Quorvantic-Plug-ins installiert.</translation>
    </message>
</context>
</TS>
