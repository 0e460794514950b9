#include "report/compound_file.h"

#include <dlfcn.h>
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

// libgsf, and the GLib under it, load with the first compound file: the commands and the
// start of the terminal that write no workbook never pay for loading them.
struct Gsf {
    decltype(&g_object_unref) objectUnref = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
    decltype(&gsf_output_memory_new) outputMemoryNew = nullptr;
    decltype(&gsf_outfile_msole_new) outfileMsoleNew = nullptr;
    decltype(&gsf_outfile_msole_set_class_id) outfileMsoleSetClassId = nullptr;
    decltype(&gsf_outfile_new_child) outfileNewChild = nullptr;
    decltype(&gsf_output_write) outputWrite = nullptr;
    decltype(&gsf_output_close) outputClose = nullptr;
    decltype(&gsf_output_error) outputError = nullptr;
    decltype(&gsf_output_is_closed) outputIsClosed = nullptr;
    decltype(&gsf_output_size) outputSize = nullptr;
    decltype(&gsf_output_memory_get_bytes) outputMemoryGetBytes = nullptr;
    decltype(&gsf_input_memory_new) inputMemoryNew = nullptr;
    decltype(&gsf_infile_msole_new) infileMsoleNew = nullptr;
    decltype(&gsf_infile_child_by_name) infileChildByName = nullptr;
    decltype(&gsf_input_size) inputSize = nullptr;
    decltype(&gsf_input_read) inputRead = nullptr;
    QString failure;  ///< why the library could not be used; empty when it can
};

template <typename F>
void resolve(void* library, const char* name, F& function, QString& failure) {
    function = reinterpret_cast<F>(::dlsym(library, name));
    if (!function && failure.isEmpty()) {
        failure = QStringLiteral("%1 lacks %2")
                      .arg(QLatin1String(TQ582_GSF_LIBRARY), QLatin1String(name));
    }
}

const Gsf& gsf() {
    static const Gsf loaded = [] {
        Gsf g;
        void* library = ::dlopen(TQ582_GSF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            g.failure = QStringLiteral("the compound file library cannot be loaded: ") +
                        QString::fromLocal8Bit(::dlerror());
            return g;
        }
        // The library's own dependencies answer for GLib's functions.
        resolve(library, "g_object_unref", g.objectUnref, g.failure);
        resolve(library, "g_error_free", g.errorFree, g.failure);
        resolve(library, "gsf_output_memory_new", g.outputMemoryNew, g.failure);
        resolve(library, "gsf_outfile_msole_new", g.outfileMsoleNew, g.failure);
        resolve(library, "gsf_outfile_msole_set_class_id", g.outfileMsoleSetClassId, g.failure);
        resolve(library, "gsf_outfile_new_child", g.outfileNewChild, g.failure);
        resolve(library, "gsf_output_write", g.outputWrite, g.failure);
        resolve(library, "gsf_output_close", g.outputClose, g.failure);
        resolve(library, "gsf_output_error", g.outputError, g.failure);
        resolve(library, "gsf_output_is_closed", g.outputIsClosed, g.failure);
        resolve(library, "gsf_output_size", g.outputSize, g.failure);
        resolve(library, "gsf_output_memory_get_bytes", g.outputMemoryGetBytes, g.failure);
        resolve(library, "gsf_input_memory_new", g.inputMemoryNew, g.failure);
        resolve(library, "gsf_infile_msole_new", g.infileMsoleNew, g.failure);
        resolve(library, "gsf_infile_child_by_name", g.infileChildByName, g.failure);
        resolve(library, "gsf_input_size", g.inputSize, g.failure);
        resolve(library, "gsf_input_read", g.inputRead, g.failure);
        return g;
    }();
    return loaded;
}

struct Unref {
    void operator()(gpointer p) const {
        if (p) {
            gsf().objectUnref(p);
        }
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

QString takeError(GError* e, const char* fallback) {
    QString text = e && e->message ? QString::fromUtf8(e->message) : QString::fromUtf8(fallback);
    if (e) {
        gsf().errorFree(e);
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
    const Gsf& g = gsf();
    if (!g.failure.isEmpty()) {
        setError(error, g.failure);
        return std::nullopt;
    }
    GPtr<GsfOutput> sink(g.outputMemoryNew());
    GPtr<GsfOutfile> ole(g.outfileMsoleNew(sink.get()));
    if (!ole) {
        setError(error, QStringLiteral("the compound file could not be started"));
        return std::nullopt;
    }
    // Plain casts: the checked cast macros would call into the library by name.
    auto* oleOutput = reinterpret_cast<GsfOutput*>(ole.get());
    if (classId.size() == 16) {
        g.outfileMsoleSetClassId(reinterpret_cast<GsfOutfileMSOle*>(ole.get()),
                                 reinterpret_cast<const guint8*>(classId.constData()));
    }
    const QByteArray name = streamName.toUtf8();
    GPtr<GsfOutput> stream(g.outfileNewChild(ole.get(), name.constData(), FALSE));
    if (!stream) {
        setError(error, QStringLiteral("the stream %1 could not be added").arg(streamName));
        return std::nullopt;
    }
    const bool written = g.outputWrite(stream.get(), static_cast<size_t>(data.size()),
                                       reinterpret_cast<const guint8*>(data.constData())) &&
                         g.outputClose(stream.get()) && g.outputClose(oleOutput);
    if (!written) {
        const GError* e = g.outputError(oleOutput);
        setError(error, e && e->message ? QString::fromUtf8(e->message)
                                        : QStringLiteral("the compound file could not be written"));
        return std::nullopt;
    }
    if (!g.outputIsClosed(sink.get())) {
        g.outputClose(sink.get());
    }
    const auto size = g.outputSize(sink.get());
    const guint8* bytes = g.outputMemoryGetBytes(reinterpret_cast<GsfOutputMemory*>(sink.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
}

std::optional<QByteArray> ReadCompoundStream(const QByteArray& file, const QString& streamName,
                                             QString* error) {
    const Gsf& g = gsf();
    if (!g.failure.isEmpty()) {
        setError(error, g.failure);
        return std::nullopt;
    }
    GPtr<GsfInput> input(
        g.inputMemoryNew(reinterpret_cast<const guint8*>(file.constData()), file.size(), FALSE));
    if (!input) {
        setError(error, QStringLiteral("empty file"));
        return std::nullopt;
    }
    GError* e = nullptr;
    GPtr<GsfInfile> ole(g.infileMsoleNew(input.get(), &e));
    if (!ole) {
        setError(error, takeError(e, "not a compound file"));
        return std::nullopt;
    }
    const QByteArray name = streamName.toUtf8();
    GPtr<GsfInput> stream(g.infileChildByName(ole.get(), name.constData()));
    if (!stream) {
        setError(error, QStringLiteral("no stream %1").arg(streamName));
        return std::nullopt;
    }
    const gsf_off_t size = g.inputSize(stream.get());
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (size > 0 && !g.inputRead(stream.get(), static_cast<size_t>(size),
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
