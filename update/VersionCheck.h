#pragma once

#include "questionbank/RecordAccess.h"

#include <QString>

namespace update {

// The "check version" button: reads the bank's version, then asks the maker's update service.
void RunVersionCheck(const questionbank::ConnectionPtr& connection);

class CVersionCheck {
public:
    void CheckVersion(QString strSoftID, QString strSoftVer, QString strDatabaseVer);
};

// The value of cookie `name` in a cookie text "a=1; b=2": what follows the first occurrence of
// the name and one more character, up to the next ';' or the end. Nothing is trimmed.
QString CutCookieValue(const QString& cookieText, const QString& name);

// Whether the server's version sorts after the local one, comparing UTF-8 bytes as unsigned.
bool VersionSortsAfter(const QString& server, const QString& local);

} // namespace update
