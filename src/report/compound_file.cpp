#include "report/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>

#include <memory>

#include "report/xls_writer.h"

namespace tq::xls {

namespace {

struct Unref {
    void operator()(gpointer p) const {
        if (p) {
            g_object_unref(p);
        }
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

QString takeError(GError* e, const char* fallback) {
    QString text = e && e->message ? QString::fromUtf8(e->message) : QString::fromUtf8(fallback);
    if (e) {
        g_error_free(e);
    }
    return text;
}

void setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

/// The class of an Excel 97-2003 workbook, as the desktop's file managers know it.
const unsigned char kExcelClassId[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

}  // namespace

std::optional<QByteArray> WriteCompoundFile(const QString& streamName, const QByteArray& data,
                                            const QByteArray& classId, QString* error) {
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    GPtr<GsfOutfile> ole(gsf_outfile_msole_new(sink.get()));
    if (!ole) {
        setError(error, QStringLiteral("the compound file could not be started"));
        return std::nullopt;
    }
    if (classId.size() == 16) {
        gsf_outfile_msole_set_class_id(reinterpret_cast<GsfOutfileMSOle*>(ole.get()),
                                       reinterpret_cast<const guint8*>(classId.constData()));
    }
    const QByteArray name = streamName.toUtf8();
    GPtr<GsfOutput> stream(gsf_outfile_new_child(ole.get(), name.constData(), FALSE));
    if (!stream) {
        setError(error, QStringLiteral("the stream %1 could not be added").arg(streamName));
        return std::nullopt;
    }
    const bool written = gsf_output_write(stream.get(), static_cast<size_t>(data.size()),
                                          reinterpret_cast<const guint8*>(data.constData())) &&
                         gsf_output_close(stream.get()) && gsf_output_close(GSF_OUTPUT(ole.get()));
    if (!written) {
        const GError* e = gsf_output_error(GSF_OUTPUT(ole.get()));
        setError(error, e && e->message ? QString::fromUtf8(e->message)
                                        : QStringLiteral("the compound file could not be written"));
        return std::nullopt;
    }
    if (!gsf_output_is_closed(sink.get())) {
        gsf_output_close(sink.get());
    }
    const auto size = gsf_output_size(sink.get());
    const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
}

std::optional<QByteArray> ReadCompoundStream(const QByteArray& file, const QString& streamName,
                                             QString* error) {
    GPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()),
                                              file.size(), FALSE));
    if (!input) {
        setError(error, QStringLiteral("empty file"));
        return std::nullopt;
    }
    GError* e = nullptr;
    GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &e));
    if (!ole) {
        setError(error, takeError(e, "not a compound file"));
        return std::nullopt;
    }
    const QByteArray name = streamName.toUtf8();
    GPtr<GsfInput> stream(gsf_infile_child_by_name(ole.get(), name.constData()));
    if (!stream) {
        setError(error, QStringLiteral("no stream %1").arg(streamName));
        return std::nullopt;
    }
    const gsf_off_t size = gsf_input_size(stream.get());
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(stream.get(), static_cast<size_t>(size),
                                    reinterpret_cast<guint8*>(data.data()))) {
        setError(error, QStringLiteral("the stream %1 could not be read").arg(streamName));
        return std::nullopt;
    }
    return data;
}

std::optional<QByteArray> XlsFileBytes(const Workbook& workbook, QString* error) {
    const auto stream = workbook.build(error);
    if (!stream) {
        return std::nullopt;
    }
    return WriteCompoundFile(QStringLiteral("Workbook"), *stream,
                             QByteArray(reinterpret_cast<const char*>(kExcelClassId), 16), error);
}

}  // namespace tq::xls
