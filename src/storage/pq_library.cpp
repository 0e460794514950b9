// libpq, and the Kerberos, LDAP and TLS libraries under it, load with the first connection to
// a database server: a process on the embedded file (every punch through tq582ctl) never pays
// for loading them. Each libpq function the server engine calls is defined here and forwards
// to the library's own, found on its first call. A function the engine starts to use needs its
// line below; without it the programs do not link.
#include <dlfcn.h>
#include <libpq-fe.h>

#include "storage/database.h"

namespace {

void* library() {
    struct Loaded {
        void* handle = ::dlopen(TQ582_PQ_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        QString failure = handle ? QString() : QString::fromLocal8Bit(::dlerror());
    };
    static const Loaded loaded;
    if (!loaded.handle) {
        throw tq::DbError(QStringLiteral("the database server cannot be reached: its client "
                                         "library %1 cannot be loaded: %2")
                              .arg(QLatin1String(TQ582_PQ_LIBRARY), loaded.failure));
    }
    return loaded.handle;
}

template <typename F>
F resolve(const char* name) {
    auto* function = reinterpret_cast<F>(::dlsym(library(), name));
    if (!function) {
        throw tq::DbError(QStringLiteral("the database server's client library %1 lacks %2")
                              .arg(QLatin1String(TQ582_PQ_LIBRARY), QLatin1String(name)));
    }
    return function;
}

}  // namespace

#define TQ582_FORWARD(result, name, params, args)                    \
    extern "C" result name params {                                  \
        static const auto forward = resolve<decltype(&name)>(#name); \
        return forward args;                                         \
    }

TQ582_FORWARD(PGconn*, PQconnectdbParams,
              (const char* const* keywords, const char* const* values, int expand),
              (keywords, values, expand))
TQ582_FORWARD(void, PQfinish, (PGconn * c), (c))
TQ582_FORWARD(void, PQreset, (PGconn * c), (c))
TQ582_FORWARD(ConnStatusType, PQstatus, (const PGconn* c), (c))
TQ582_FORWARD(PGTransactionStatusType, PQtransactionStatus, (const PGconn* c), (c))
TQ582_FORWARD(const char*, PQparameterStatus, (const PGconn* c, const char* name), (c, name))
TQ582_FORWARD(char*, PQerrorMessage, (const PGconn* c), (c))
TQ582_FORWARD(int, PQsetClientEncoding, (PGconn * c, const char* encoding), (c, encoding))
TQ582_FORWARD(PQnoticeReceiver, PQsetNoticeReceiver, (PGconn * c, PQnoticeReceiver proc, void* arg),
              (c, proc, arg))
TQ582_FORWARD(PGresult*, PQexec, (PGconn * c, const char* query), (c, query))
TQ582_FORWARD(PGresult*, PQexecParams,
              (PGconn * c, const char* command, int n, const Oid* types, const char* const* values,
               const int* lengths, const int* formats, int format),
              (c, command, n, types, values, lengths, formats, format))
TQ582_FORWARD(int, PQsendQueryParams,
              (PGconn * c, const char* command, int n, const Oid* types, const char* const* values,
               const int* lengths, const int* formats, int format),
              (c, command, n, types, values, lengths, formats, format))
TQ582_FORWARD(int, PQenterPipelineMode, (PGconn * c), (c))
TQ582_FORWARD(int, PQexitPipelineMode, (PGconn * c), (c))
TQ582_FORWARD(int, PQpipelineSync, (PGconn * c), (c))
TQ582_FORWARD(PGresult*, PQgetResult, (PGconn * c), (c))
TQ582_FORWARD(void, PQclear, (PGresult * r), (r))
TQ582_FORWARD(ExecStatusType, PQresultStatus, (const PGresult* r), (r))
TQ582_FORWARD(char*, PQresultErrorMessage, (const PGresult* r), (r))
TQ582_FORWARD(char*, PQresultErrorField, (const PGresult* r, int field), (r, field))
TQ582_FORWARD(char*, PQcmdTuples, (PGresult * r), (r))
TQ582_FORWARD(int, PQntuples, (const PGresult* r), (r))
TQ582_FORWARD(int, PQnfields, (const PGresult* r), (r))
TQ582_FORWARD(char*, PQfname, (const PGresult* r, int field), (r, field))
TQ582_FORWARD(Oid, PQftype, (const PGresult* r, int field), (r, field))
TQ582_FORWARD(char*, PQgetvalue, (const PGresult* r, int row, int field), (r, row, field))
TQ582_FORWARD(int, PQgetlength, (const PGresult* r, int row, int field), (r, row, field))
TQ582_FORWARD(int, PQgetisnull, (const PGresult* r, int row, int field), (r, row, field))
