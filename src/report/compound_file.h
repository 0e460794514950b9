#pragma once
// The OLE2 compound file around a workbook stream, written and read by libgsf's MS-OLE
// implementation.

#include <QByteArray>
#include <QString>
#include <optional>

namespace tq::xls {

class Workbook;

/// A compound file holding one stream `streamName` with `data`; the root carries `classId`
/// (16 bytes) when given. Nothing and `error` set when libgsf fails.
std::optional<QByteArray> WriteCompoundFile(const QString& streamName, const QByteArray& data,
                                            const QByteArray& classId, QString* error);

/// The stream `streamName` of a compound file; nothing and `error` set when the bytes are no
/// compound file or hold no such stream.
std::optional<QByteArray> ReadCompoundStream(const QByteArray& file, const QString& streamName,
                                             QString* error);

/// The bytes of an .xls file: the workbook's BIFF8 stream as "Workbook" in a compound file
/// marked as an Excel workbook.
std::optional<QByteArray> XlsFileBytes(const Workbook& workbook, QString* error);

}  // namespace tq::xls
