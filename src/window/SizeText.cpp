#include "window/SizeText.h"

namespace lumaro {

QString sizeText(float value)
{
    // A collapsed display may hold negative zero; + 0.0 makes it plain zero,
    // so that the read-out says "0", not "-0". (Qt's formatting drops the
    // sign of zero by itself as well; printf-style formatting would not.)
    QString s = QString::number(double(value) + 0.0, 'g', 7);
    // "1e+07" reads as "1E+07".
    s.replace(u'e', u'E');
    return s;
}

} // namespace lumaro
