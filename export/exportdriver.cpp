#include "export/exportdriver.h"

#include <cstdio>

bool runExport(const QByteArray& root)
{
    Q_UNUSED(root);
    std::fprintf(stderr, "tessel-console: the binding export is not built yet\n");
    return false;
}
