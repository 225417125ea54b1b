#pragma once

class QLocale;

// The window's words in the user's language: the installer's own translation
// and Qt's for its standard dialogs, chosen from a locale (the system's by
// default). English, the source language, needs none. The command line never
// calls this: what it prints stays as it is, whatever the locale.
namespace Translations {

// Installs the translators for `locale` into the application; returns whether
// the installer's own translation was found for it.
bool install(const QLocale &locale);
bool install();

} // namespace Translations
