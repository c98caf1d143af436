#include "odbc/DriverRec.h"

namespace zen {

std::vector<TDriverRec> BuildDriverTable() {
    std::vector<TDriverRec> t;
    auto add = [&t](const char* name) -> TDriverRec& {
        t.push_back(TDriverRec{});
        t.back().name = name;
        return t.back();
    };
    add("Default");
    {
        TDriverRec& r = add("Microsoft SQL Server;sqlsrv32.dll");
        r.timestampSize = 23;
        r.timestampScale = 3;
    }
    add("Oracle;msorcl32.dll").varcharSize = 2000;
    add("Oracle8;sqoci32.dll").varcharSize = 2000;
    {
        TDriverRec& r = add("SQL Server;sysybnt.dll");
        r.varcharSize = 30;
        r.varbinarySize = 8;
        r.timestampSize = 23;
        r.timestampScale = 3;
    }
    {
        TDriverRec& r = add("Adaptive Server Anywhere;dbodbc6w.dll");
        r.charSize = r.varcharSize = r.binarySize = r.varbinarySize = 32767;
        r.timestampSize = 26;
        r.timestampScale = 6;
    }
    {
        TDriverRec& r = add("Informix;iclit09a.dll");
        r.charSize = 32767;
        r.timestampSize = 25;
        r.timestampScale = 5;
    }
    {
        TDriverRec& r = add("InterBase;iscdrv32.dll");
        r.charSize = 32767;
        r.varcharSize = 32765;
    }
    add("Access;odbcjt32.dll").longvarbinarySize = 1073741823;
    {
        TDriverRec& r = add("dBase;odbcjt32.dll");
        r.charSize = r.varcharSize = r.binarySize = r.varbinarySize = 254;
        r.longvarcharSize = r.longvarbinarySize = 1073741823;
    }
    {
        TDriverRec& r = add("Paradox;odbcjt32.dll");
        r.binarySize = r.varbinarySize = 254;
        r.longvarcharSize = r.longvarbinarySize = 1073741823;
    }
    {
        TDriverRec& r = add("Visual FoxPro;vfpodbc.dll");
        r.charSize = r.varcharSize = r.binarySize = r.varbinarySize = 254;
    }
    {
        TDriverRec& r = add("FoxPro;odbcjt32.dll");
        r.charSize = r.varcharSize = r.binarySize = r.varbinarySize = 254;
    }
    return t;
}

} // namespace zen
