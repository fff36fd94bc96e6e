// What a project of many photographs costs to read: the image list, the n(n - 1)/2 pairs and
// the overlap hierarchy, for a row of photographs each matched with its neighbour.
//   bench_large_project N     prints the time of ReadFrom and the peak memory of the process
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/PanoramaEngine.h"
#include "xml/XmlDocument.h"

using namespace Zelvo;

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    XmlDocument document;
    document.Reset("VedoraProject");
    XmlElement* panorama = document.Root()->FindChild("Panorama", true);
    panorama->Attribute("name", true)->Set("panorama");
    XmlElement* images = panorama->FindChild("Images", true);
    for (int i = 0; i < n; ++i) {
        auto* image = new XmlElement("Image");
        images->AppendChild(image);
        image->Attribute("path", true)->Set(Chars::Format("photo%05d.jpg", i));
        image->Attribute("w", true)->SetInt(4000);
        image->Attribute("h", true)->SetInt(3000);
    }
    XmlElement* pairs = panorama->FindChild("Combinations", true);
    for (int i = 0; i + 1 < n; ++i) {
        auto* pair = new XmlElement("Combination");
        pairs->AppendChild(pair);
        pair->Attribute("path1", true)->Set(Chars::Format("photo%05d.jpg", i));
        pair->Attribute("path2", true)->Set(Chars::Format("photo%05d.jpg", i + 1));
        pair->Attribute("f", true)->SetDouble(3500);
        pair->Attribute("phi", true)->SetDouble(0.5);
        for (const char* side : {"P", "Q"}) {
            XmlElement* list = pair->FindChild(side, true);
            for (int k = 0; k < 20; ++k) {
                auto* point = new XmlElement("Point");
                list->AppendChild(point);
                point->Attribute("x", true)->SetInt(side[0] == 'P' ? 3000 + k * 10 : 200 + k * 10);
                point->Attribute("y", true)->SetInt(1000 + k * 50);
            }
        }
    }
    PanoramaEngine engine;
    auto start = std::chrono::steady_clock::now();
    bool read = engine.ReadFrom(document, "panorama");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d images: %s in %.2f s, peak %ld MB, %zu pairs, %s\n", n, read ? "read" : "refused", seconds,
                usage.ru_maxrss / 1024, engine.Combinations().size(), read ? "" : engine.LastError().c_str());
    return read ? 0 : 1;
}
