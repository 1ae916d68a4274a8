// web-sim: a stand-in for the web service on loopback. Prints
// "127.0.0.1:PORT" (the directory host to use) as its first line and serves
// until it is ended.
#include "sim/web/WebService.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

const char* const kUsage =
    "Usage: web-sim [OPTIONS]\n"
    "\n"
    "Stand-in for the web service: the directory on 127.0.0.1 answers with the account\n"
    "server 127.0.0.2, and for the upgrade account with the update server 127.0.0.3,\n"
    "all on the same port. The first line of output is the directory host to use\n"
    "(for example: ecg-cli upload --server 127.0.0.1:PORT ..., or\n"
    "ecg-cli firmware fetch --server 127.0.0.1:PORT --out FILE).\n"
    "\n"
    "Options:\n"
    "  --port N                  port for both (default: any free one)\n"
    "  --account NAME:PASSWORD   an account (repeatable; default demo:demo)\n"
    "  --store DIR               store received files in DIR/<account>/\n"
    "  --log FILE                append one JSON line per connection (passwords redacted)\n"
    "  --image FILE              the firmware image file the update server (127.0.0.3)\n"
    "                            offers (default: a valid image of 20,000 body bytes)\n"
    "  --upgrade-account NAME    the directory's name of the update server\n"
    "                            (default firmware_server)\n"
    "Faults:\n"
    "  --refuse-account          nothing listens at the account server\n"
    "  --directory-answer TEXT   answer TEXT to every server query; empty, garbage and\n"
    "                            unterminated are special\n"
    "  --check-code N            reply code to the credential check\n"
    "  --login-code N            reply code to the upload login\n"
    "  --header-code N[@K]       reply code to every file header, or only to the K-th\n"
    "  --close-at STAGE          close instead of replying\n"
    "  --short-reply-at STAGE    send 100 bytes of the reply, then close\n"
    "  --silent-at STAGE         never reply (and stop reading)\n"
    "  --reset-after BYTES       reset the transfer after this many content bytes\n"
    "  --stop-reading-after BYTES  stop reading the transfer after this many content bytes\n"
    "  --reset-unread-at-header K  accept the K-th file header, read none of its content,\n"
    "                            then reset the connection\n"
    "  --end-side-at-header K    accept the K-th file header, end the sending side\n"
    "                            and read nothing more\n"
    "  --answer-twice-at-header K  accept the K-th file header with two replies,\n"
    "                            then read nothing more\n"
    "  --wait-for-close          after the transfer end, close only once the client\n"
    "                            has ended its side\n"
    "  --hold-after-end          after the transfer end, keep the connection open\n"
    "                            whatever the client does (for a minute)\n"
    "  --flood-after-end BYTES   after the transfer end, send BYTES bytes nobody asked\n"
    "                            for, then close\n"
    "  --trickle MS              send replies in four pieces MS apart, image blocks\n"
    "                            in twelve pieces\n"
    "  --no-image                the update server offers no image\n"
    "  --offer-size N            announce N bytes instead of the image's size\n"
    "  --close-after-blocks N    close once N image blocks went out\n"
    "  --short-block K           send half of the K-th image block, then close\n"
    "  --stall-block K           never answer the K-th block request\n"
    "  --stall-offer             never answer the image query\n"
    "STAGE is directory, check, login, header or header@K (the K-th file header).\n";

bool ParseCode(const QString& text, int& code, int* at = nullptr)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    bool ok = false;
    code = parts[0].toInt(&ok);
    if (!ok || code < 0 || code > 255 || parts.size() > 2) return false;
    if (parts.size() == 2) {
        if (!at) return false;
        *at = parts[1].toInt(&ok);
        return ok && *at >= 1;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    sim::WebService service;
    sim::WebFaults& f = service.faults();
    quint16 port = 0;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const QString value = hasValue ? args[i + 1] : QString();
        bool ok = true;
        bool takesValue = true;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--port") {
            const uint p = value.toUInt(&ok);
            ok = ok && p <= 65535;
            port = static_cast<quint16>(p);
        } else if (a == "--account") {
            const qsizetype colon = value.indexOf(QLatin1Char(':'));
            ok = colon > 0;
            if (ok) service.addAccount(value.left(colon).toUtf8(), value.mid(colon + 1).toUtf8());
        } else if (a == "--store") {
            service.setStoreFolder(value);
        } else if (a == "--log") {
            service.setLogFile(value);
        } else if (a == "--refuse-account") {
            takesValue = false;
            f.refuseAccount = true;
        } else if (a == "--directory-answer") {
            using M = sim::WebFaults::DirectoryMode;
            f.directory = value == "empty" ? M::Empty
                          : value == "garbage" ? M::Garbage
                          : value == "unterminated" ? M::Unterminated
                                                    : M::Literal;
            f.directoryLiteral = value.toLatin1();
        } else if (a == "--check-code") {
            ok = ParseCode(value, f.checkCode);
        } else if (a == "--login-code") {
            ok = ParseCode(value, f.loginCode);
        } else if (a == "--header-code") {
            ok = ParseCode(value, f.headerCode, &f.headerCodeAt);
        } else if (a == "--close-at") {
            ok = sim::WebStage::parse(value, f.closeWithoutReply);
        } else if (a == "--short-reply-at") {
            ok = sim::WebStage::parse(value, f.shortReply);
        } else if (a == "--silent-at") {
            ok = sim::WebStage::parse(value, f.silence);
        } else if (a == "--reset-after") {
            f.resetAfterBytes = value.toLongLong(&ok);
        } else if (a == "--stop-reading-after") {
            f.stopReadingAfterBytes = value.toLongLong(&ok);
        } else if (a == "--reset-unread-at-header") {
            f.resetUnreadAtHeader = value.toInt(&ok);
            ok = ok && f.resetUnreadAtHeader >= 1;
        } else if (a == "--answer-twice-at-header") {
            f.answerTwiceAtHeader = value.toInt(&ok);
            ok = ok && f.answerTwiceAtHeader >= 1;
        } else if (a == "--end-side-at-header") {
            f.endSideAtHeader = value.toInt(&ok);
            ok = ok && f.endSideAtHeader >= 1;
        } else if (a == "--wait-for-close") {
            takesValue = false;
            f.waitForClose = true;
        } else if (a == "--hold-after-end") {
            takesValue = false;
            f.holdAfterEnd = true;
        } else if (a == "--flood-after-end") {
            f.floodAfterEnd = value.toLongLong(&ok);
            ok = ok && f.floodAfterEnd > 0;
        } else if (a == "--trickle") {
            f.trickleMs = f.update.trickleMs = value.toInt(&ok);
        } else if (a == "--image") {
            QFile file(value);
            ok = file.open(QIODevice::ReadOnly);
            if (ok) service.setFirmwareImage(file.readAll());
        } else if (a == "--upgrade-account") {
            service.setUpgradeAccount(value.toLatin1());
        } else if (a == "--no-image") {
            takesValue = false;
            f.update.noImage = true;
        } else if (a == "--offer-size") {
            f.update.offeredSize = value.toUInt(&ok);
        } else if (a == "--close-after-blocks") {
            f.update.closeAfterBlocks = value.toInt(&ok);
            ok = ok && f.update.closeAfterBlocks >= 0;
        } else if (a == "--short-block") {
            f.update.shortBlockAt = value.toInt(&ok);
            ok = ok && f.update.shortBlockAt >= 1;
        } else if (a == "--stall-block") {
            f.update.stallAtBlock = value.toInt(&ok);
            ok = ok && f.update.stallAtBlock >= 1;
        } else if (a == "--stall-offer") {
            takesValue = false;
            f.update.stallOffer = true;
        } else {
            ok = false;
        }
        ok = ok && (!takesValue || hasValue);
        if (!ok) {
            std::fprintf(stderr, "web-sim: bad option \"%s\"\n\n%s", qPrintable(a), kUsage);
            return 2;
        }
        if (takesValue) ++i;
    }
    QString error;
    if (!service.listen(port, &error)) {
        std::fprintf(stderr, "web-sim: cannot listen: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s:%u\n", qPrintable(sim::WebService::directoryAddress().toString()), service.port());
    std::fflush(stdout);
    return app.exec();
}
