/* A fault for tests, preloaded into the program: with ZEN_TEST_FAIL_ROLLBACK set, every
 * SQLEndTran that asks for a rollback fails without reaching the driver, as a rollback
 * refused on a connection that still stands would. Everything else goes to the driver
 * manager as it is. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sql.h>
#include <stdlib.h>

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion) {
    static SQLRETURN(SQL_API * real)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) = 0;
    if (completion == SQL_ROLLBACK && getenv("ZEN_TEST_FAIL_ROLLBACK")) {
        return SQL_ERROR;
    }
    if (!real) {
        real = (SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT))dlsym(RTLD_NEXT,
                                                                               "SQLEndTran");
    }
    return real(handleType, handle, completion);
}
