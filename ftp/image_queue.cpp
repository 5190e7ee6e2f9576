#include "ftp/image_queue.h"

namespace tavo::ftp {

bool IsPlainImageName(const QString& name) {
    // Without separators, ".." and "." are the only names that leave the folder.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

namespace {

// Every plain name after `src="tavo-img/`, repeats included.
QStringList EveryReference(const QString& page, QStringList* refused) {
    static const QString kReference = QStringLiteral("src=\"tavo-img/");
    QStringList names;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = page.indexOf(kReference, from);
        if (at < 0)
            break;
        const qsizetype start = at + kReference.size();
        const qsizetype quote = page.indexOf(QLatin1Char('"'), start);
        // Without a closing quote the name is empty.
        const QString name = quote < 0 ? QString() : page.mid(start, quote - start);
        from = quote < 0 ? page.size() : start;
        if (!IsPlainImageName(name)) {
            if (refused && !name.isEmpty() && !refused->contains(name))
                *refused << name;
            continue;
        }
        names << name;
    }
    return names;
}

}  // namespace

QStringList ReferencedImages(const QString& page) {
    QStringList names;
    for (const QString& name : EveryReference(page, nullptr)) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    }
    return names;
}

QStringList BuildImageQueue(const QString& page, const ImageQueueRules& rules,
                            QStringList* refused) {
    QStringList queue;
    for (const QString& name : EveryReference(page, refused)) {
        if (!rules.existsLocally(name) || queue.contains(name, Qt::CaseInsensitive))
            continue;
        if (!rules.overwrite && rules.existsRemotely(name))
            continue;
        queue << name;
    }
    return queue;
}

}  // namespace tavo::ftp
