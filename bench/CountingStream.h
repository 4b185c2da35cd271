// A byte stream that counts what passes through another one: the bytes on the wire of a
// benchmark's download, against which its time is measured.
#pragma once

#include "device/ByteStream.h"

namespace kv5 {

class CountingStream final : public ByteStream {
public:
    explicit CountingStream(ByteStream& stream) : stream_(stream) {}

    // Bytes written and taken since the stream was made.
    quint64 written = 0;
    quint64 taken = 0;

    bool open(const QString& port, QString& failure) override { return stream_.open(port, failure); }
    void close() override { stream_.close(); }
    bool isOpen() const override { return stream_.isOpen(); }
    qint64 now() const override { return stream_.now(); }
    void discardInput() override { stream_.discardInput(); }
    bool write(const QByteArray& bytes) override {
        if (!stream_.write(bytes)) return false;
        written += static_cast<quint64>(bytes.size());
        return true;
    }
    QByteArray take() override {
        QByteArray bytes = stream_.take();
        taken += static_cast<quint64>(bytes.size());
        return bytes;
    }
    bool wait(qint64 until, bool onInput) override { return stream_.wait(until, onInput); }
    QString errorString() const override { return stream_.errorString(); }
    QString failure() const override { return stream_.failure(); }

private:
    ByteStream& stream_;
};

} // namespace kv5
