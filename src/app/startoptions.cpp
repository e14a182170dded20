#include "app/startoptions.h"

StartOptions StartOptions::parse(const QStringList& arguments)
{
    StartOptions options;
    bool versionGiven = false;
    const auto invalid = [&options](const QString& why) {
        options.mode = Mode::Invalid;
        options.error = why;
        return options;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // After "--" every word is a file, even one that starts with "-".
        if (argument == QLatin1String("--")) {
            options.files << arguments.mid(i + 1);
            break;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.mode = Mode::Help;
        } else if (argument == QLatin1String("--import")) {
            if (options.mode == Mode::Snapshots || options.mode == Mode::Restore)
                return invalid(QStringLiteral("--import goes without --snapshots and --restore"));
            if (options.mode == Mode::ExportVCard)
                return invalid(QStringLiteral("--import and --export-vcard cannot be given together"));
            if (options.mode != Mode::Help)
                options.mode = Mode::Import;
        } else if (argument == QLatin1String("--export-vcard")) {
            if (options.mode == Mode::Import)
                return invalid(QStringLiteral("--import and --export-vcard cannot be given together"));
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--export-vcard needs the file to write"));
            options.exportPath = arguments[++i];
            if (options.mode != Mode::Help)
                options.mode = Mode::ExportVCard;
        } else if (argument == QLatin1String("--snapshots")) {
            if (options.mode != Mode::Window && options.mode != Mode::Help)
                return invalid(QStringLiteral("--snapshots goes alone"));
            if (options.mode != Mode::Help)
                options.mode = Mode::Snapshots;
        } else if (argument == QLatin1String("--restore")) {
            if (options.mode != Mode::Window && options.mode != Mode::Help)
                return invalid(QStringLiteral("--restore goes alone"));
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--restore needs the snapshot to put back"));
            options.snapshot = arguments[++i];
            if (options.mode != Mode::Help)
                options.mode = Mode::Restore;
        } else if (argument == QLatin1String("--sync-account")) {
            if (options.mode != Mode::Window && options.mode != Mode::Help)
                return invalid(QStringLiteral("--sync-account goes alone"));
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--sync-account needs the server's address"));
            options.syncServer = arguments[++i];
            if (options.mode != Mode::Help)
                options.mode = Mode::SyncAccount;
        } else if (argument == QLatin1String("--user")) {
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--user needs the user name"));
            options.syncUser = arguments[++i];
        } else if (argument == QLatin1String("--insecure")) {
            options.insecure = true;
        } else if (argument == QLatin1String("--trust-fingerprint")) {
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--trust-fingerprint needs the certificate's SHA-256 fingerprint"));
            options.trustedFingerprint = arguments[++i];
        } else if (argument == QLatin1String("--sync")) {
            if (options.mode != Mode::Window && options.mode != Mode::Help)
                return invalid(QStringLiteral("--sync goes alone"));
            if (options.mode != Mode::Help)
                options.mode = Mode::Sync;
        } else if (argument == QLatin1String("--allow-mass-delete")) {
            options.allowMassDelete = true;
        } else if (argument == QLatin1String("--vcard-version")) {
            if (i + 1 >= arguments.size())
                return invalid(QStringLiteral("--vcard-version needs 3.0 or 4.0"));
            const QString version = arguments[++i];
            if (version == QLatin1String("3.0"))
                options.version = VCardVersion::V30;
            else if (version == QLatin1String("4.0"))
                options.version = VCardVersion::V40;
            else
                return invalid(QStringLiteral("--vcard-version takes 3.0 or 4.0, not \"%1\"").arg(version));
            versionGiven = true;
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return invalid(QStringLiteral("unknown option %1").arg(argument));
        } else {
            options.files << argument;
        }
    }
    if (options.mode == Mode::Help)
        return options;
    if (options.mode == Mode::Import && options.files.isEmpty())
        return invalid(QStringLiteral("--import needs at least one file"));
    if ((options.mode == Mode::Snapshots || options.mode == Mode::Restore) && !options.files.isEmpty())
        return invalid(QStringLiteral("--snapshots and --restore import no files"));
    if (options.mode == Mode::ExportVCard && !options.files.isEmpty())
        return invalid(QStringLiteral("--export-vcard writes one file and imports none"));
    if ((options.mode == Mode::SyncAccount || options.mode == Mode::Sync) && !options.files.isEmpty())
        return invalid(QStringLiteral("--sync-account and --sync import no files"));
    if (options.mode == Mode::SyncAccount && options.syncUser.isEmpty())
        return invalid(QStringLiteral("--sync-account needs --user NAME"));
    if (options.mode != Mode::SyncAccount &&
        (!options.syncUser.isEmpty() || options.insecure || !options.trustedFingerprint.isEmpty()))
        return invalid(QStringLiteral("--user, --insecure and --trust-fingerprint go with --sync-account"));
    if (options.mode != Mode::Sync && options.allowMassDelete)
        return invalid(QStringLiteral("--allow-mass-delete goes with --sync"));
    if (versionGiven && options.mode != Mode::ExportVCard)
        return invalid(QStringLiteral("--vcard-version goes with --export-vcard"));
    return options;
}

QString StartOptions::usage()
{
    return QStringLiteral(
        "Usage: rondexa [FILE.vcf...]\n"
        "       rondexa --import FILE.vcf...\n"
        "       rondexa --export-vcard FILE.vcf [--vcard-version 3.0|4.0]\n"
        "       rondexa --snapshots\n"
        "       rondexa --restore SNAPSHOT\n"
        "       rondexa --sync-account URL --user NAME [--insecure] [--trust-fingerprint SHA256] < password\n"
        "       rondexa --sync [--allow-mass-delete]\n"
        "\n"
        "Without options the window opens; vCard files named on the line are imported into it.\n"
        "  --import           import the files without a window, one summary line per file\n"
        "  --export-vcard     write every contact, in name order, to FILE without a window\n"
        "  --vcard-version    4.0 (the default) or 3.0 for older phones\n"
        "  --snapshots        list the copies of the data file taken before imports and deletes\n"
        "  --restore          put a snapshot back, after keeping the file as it is as one\n"
        "  --sync-account     set the CardDAV account (the password is the first line of standard\n"
        "                     input) and choose its first address book\n"
        "  --insecure         allow plain http to another machine, which sends the password unencrypted\n"
        "  --sync             sync both ways with the account's address book, one summary line\n"
        "  --allow-mass-delete  let a sync delete more than half of either side\n");
}
