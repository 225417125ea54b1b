#pragma once

// A licence of about `size` bytes in RTF, of the kind word processors write;
// the RTF and License page figures read the same one.

#include <QByteArray>

namespace bench {

QByteArray generatedLicence(qsizetype size);

} // namespace bench
