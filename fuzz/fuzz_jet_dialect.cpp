// The Jet-dialect translation on any statement text, and on statements mixing fixed pieces
// with bound values.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "storage/database.h"
#include "storage/jet_dialect.h"
#include "storage/sql.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        // Any text either translates or is refused with a DbError; the same text always
        // translates the same way.
        if (tq::translateJetText(text) != tq::translateJetText(text)) {
            std::abort();
        }
    } catch (const tq::DbError&) {
        // a refused text is a reported error, never a crash
    }

    // The same text cut at each '\x01' into fixed pieces, with a value between them.
    tq::Sql sql;
    qsizetype values = 0;
    const QStringList pieces = text.split(QChar(1));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        sql.raw(pieces[i]);
        if (i + 1 < pieces.size()) {
            sql.text(pieces[i], tq::Quote::Doubled);
            ++values;
        }
    }
    try {
        const tq::EngineStatement st = tq::toEngineStatement(sql);
        if (static_cast<qsizetype>(st.values.size()) != values) {
            std::abort();
        }
    } catch (const tq::DbError&) {
    }
    (void)sql.logText();
    return 0;
}
