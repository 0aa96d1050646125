#include "window/SizeText.h"

namespace lumaro {

QString sizeText(float value)
{
    QString s = QString::number(double(value) + 0.0, 'g', 7);
    // "1e+07" reads as "1E+07".
    s.replace(u'e', u'E');
    return s;
}

} // namespace lumaro
