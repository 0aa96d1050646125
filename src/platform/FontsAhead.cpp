#include "platform/FontsAhead.h"

#if defined(__linux__)
#include <clocale>
#include <cstring>
#include <dlfcn.h>
#include <langinfo.h>
#endif

namespace lumaro {

FontsAhead::FontsAhead()
{
#if defined(__linux__)
    // The application sets the program's locale from the environment as it
    // starts. It is set here first, the same way, so that the configuration
    // is read under the locale the program keeps and the application's own
    // setting changes nothing under the reading thread. Where the
    // application would go on to change it (a locale whose characters are
    // not UTF-8), nothing is read ahead.
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") != 0 && std::strcmp(codeset, "utf8") != 0)
        return;
    // Qt's own fontconfig, looked up rather than linked: the program then
    // needs no headers of its own for it, and a Qt without fontconfig
    // simply has nothing to read ahead. FcInit is safe to call from any
    // thread, and Qt's own call, as its font database fills, finds the
    // configuration made.
    using Init = int (*)();
    if (auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit")))
        m_reader = std::thread(init);
#endif
}

FontsAhead::~FontsAhead()
{
    finish();
}

void FontsAhead::finish()
{
    if (m_reader.joinable())
        m_reader.join();
}

} // namespace lumaro
