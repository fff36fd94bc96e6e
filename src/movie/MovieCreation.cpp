#include "movie/MovieCreation.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <new>

#include "movie/PanoramaScaling.h"
#include "movie/TemporaryFiles.h"
#include "movie/VrMovieWriter.h"

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("MovieCreation", text); }

bool WriteWholeFile(const QString& path, const void* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    qint64 written = file.write(static_cast<const char*>(data), static_cast<qint64>(size));
    bool flushed = file.flush();
    file.close();
    return written == static_cast<qint64>(size) && flushed && file.error() == QFileDevice::NoError;
}

bool WriteWholeFile(const QString& path, const std::vector<uint8_t>& bytes) {
    return WriteWholeFile(path, bytes.data(), bytes.size());
}

// The image is encoded in memory and then written: the file's write errors (a full disk) are
// reported by the file, and the encoder never sees them (Qt's PNG writer loses memory when its
// output fails half-way).
bool SavePng(const QImage& image, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter png(&buffer, "png");
    png.setQuality(100);
    if (!png.write(image))
        return false;
    buffer.close();
    return WriteWholeFile(path, bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool ReadWholeFile(const QString& path, std::vector<uint8_t>* bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    bytes->assign(data.begin(), data.end());
    return file.error() == QFileDevice::NoError;
}

// One run of the procedure; the temporary files live as long as it does.
class Creation {
public:
    Creation(const std::string& imagePath, const VrMovieSettings& settings, const MovieCreationHooks& hooks,
             const QString& folder)
        : imagePath(QString::fromStdString(imagePath)), settings(settings), hooks(hooks), folder(folder),
          temporary(folder) {}

    MovieCreationResult Run() {
        MovieCreationResult result;
        result.status = MovieCreationResult::Status::Failed;
        std::string why;
        if (!ValidateVrMovieSettings(settings, &why))
            return Failed(QString::fromStdString(why));
        if (!CreateTemporaryFiles())
            return Failed(Tr("The temporary files could not be created in %1.").arg(folder));
        Tick();
        QImage image(imagePath);
        if (image.isNull())
            return Failed(Tr("The image %1 could not be loaded.").arg(imagePath));
        image = image.convertToFormat(QImage::Format_RGB32);
        Tick();
        if (image.width() < settings.tiles)
            return Failed(Tr("The image is narrower than the %1 tiles of the movie.").arg(settings.tiles));
        image = FitImageToTiles(image, settings.tiles);
        if (!SavePng(image, pngPath))
            return Failed(Tr("The temporary image %1 could not be written.").arg(pngPath));
        image = QImage();
        Tick();
        if (!MakeTileMovie())
            return Failed(message);
        if (!MakePanoramaMovie())
            return Failed(message);
        std::string chosen =
            hooks.chooseSavePath ? hooks.chooseSavePath(ProposedMoviePath(imagePath.toStdString())) : std::string();
        if (chosen.empty()) {
            temporary.RemoveAll();
            result.status = MovieCreationResult::Status::Cancelled;
            return result;
        }
        chosen = WithMovieSuffix(chosen);
        Tick();
        std::vector<uint8_t> movie;
        if (!ReadWholeFile(panoramaMoviePath, &movie))
            return Failed(Tr("The temporary movie %1 could not be read.").arg(panoramaMoviePath));
        if (!WriteMovieFile(chosen, movie, &why))
            return Failed(QString::fromStdString(why));
        Tick();
        temporary.RemoveAll();
        Tick();
        result.status = MovieCreationResult::Status::Written;
        result.moviePath = chosen;
        return result;
    }

private:
    bool CreateTemporaryFiles() {
        pngPath = temporary.Create("temp.png");
        tileMoviePath = temporary.Create("tile.mov");
        panoramaMoviePath = temporary.Create("temp.mov");
        return !pngPath.isEmpty() && !tileMoviePath.isEmpty() && !panoramaMoviePath.isEmpty();
    }

    // The tiles of the saved PNG, compressed, as a movie of their own.
    bool MakeTileMovie() {
        QImage saved(pngPath, "png");
        if (saved.isNull())
            return Fail(Tr("The temporary image %1 could not be read.").arg(pngPath));
        panorama = ImgFromQImage(saved);
        saved = QImage();
        MovieTiles tiles;
        std::string why;
        if (!EncodeTiles(panorama, settings.tiles, settings.quality, &tiles, &why, [this](int) { Tick(); }))
            return Fail(QString::fromStdString(why));
        if (!WriteWholeFile(tileMoviePath, BuildTileMovie(tiles)))
            return Fail(Tr("The temporary movie %1 could not be written.").arg(tileMoviePath));
        Tick();
        return true;
    }

    // The QuickTime VR movie from the tile movie.
    bool MakePanoramaMovie() {
        std::vector<uint8_t> bytes;
        MovieTiles tiles;
        std::string why;
        if (!ReadWholeFile(tileMoviePath, &bytes) || !ReadTileMovie(bytes, &tiles, &why))
            return Fail(Tr("The temporary movie %1 could not be read.").arg(tileMoviePath));
        VrMovieDescription d;
        d.panoramaWidth = panorama.width;
        d.panoramaHeight = panorama.height;
        d.angles = AnglesForPanorama(panorama.width, panorama.height, settings.angle, settings.windowWidth,
                                     settings.windowHeight);
        d.windowWidth = settings.windowWidth;
        d.windowHeight = settings.windowHeight;
        panorama = ImgRGB();
        if (!WriteWholeFile(panoramaMoviePath, BuildVrMovie(tiles, d)))
            return Fail(Tr("The temporary movie %1 could not be written.").arg(panoramaMoviePath));
        Tick();
        return true;
    }

    void Tick() {
        ++done;
        if (hooks.progress)
            hooks.progress(done);
    }
    bool Fail(const QString& text) {
        message = text;
        return false;
    }
    MovieCreationResult Failed(const QString& text) {
        temporary.RemoveAll();
        MovieCreationResult result;
        result.status = MovieCreationResult::Status::Failed;
        result.message = text.toStdString();
        return result;
    }

    QString imagePath;
    const VrMovieSettings& settings;
    const MovieCreationHooks& hooks;
    QString folder;
    TemporaryFiles temporary;
    QString pngPath, tileMoviePath, panoramaMoviePath;
    ImgRGB panorama;
    QString message;
    int done = 0;
};

}  // namespace

int MovieCreationSteps(int tiles) { return tiles + 8; }

std::string ProposedMoviePath(const std::string& imagePath) {
    QFileInfo info(QString::fromStdString(imagePath));
    return (info.absolutePath() + "/" + info.completeBaseName() + ".mov").toStdString();
}

std::string WithMovieSuffix(const std::string& path) {
    QString text = QString::fromStdString(path);
    if (!text.endsWith(".mov", Qt::CaseInsensitive))
        text += ".mov";
    return text.toStdString();
}

MovieCreationResult CreateMovieFromImageFile(const std::string& imagePath, const VrMovieSettings& settings,
                                             const MovieCreationHooks& hooks, const std::string& temporaryFolder) {
    QString folder = temporaryFolder.empty() ? QDir::tempPath() : QString::fromStdString(temporaryFolder);
    try {
        Creation creation(imagePath, settings, hooks, folder);
        return creation.Run();
    } catch (const std::bad_alloc&) {
        MovieCreationResult result;
        result.message = Tr("There is not enough memory to create the movie.").toStdString();
        return result;
    }
}
