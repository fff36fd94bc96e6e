// Reading the track structure of a QuickTime movie file (declared in MovieFile.h).
#include "movie/AtomReader.h"
#include "movie/MovieFile.h"

namespace {

// More samples than any panorama's tiles or a few nodes' samples need: a damaged count beyond
// this is refused before anything is allocated for it.
constexpr uint32_t kMaxSamples = 1u << 20;

struct Reader {
    std::span<const uint8_t> data;
    std::string* why;

    bool Fail(const std::string& reason) {
        *why = reason;
        return false;
    }

    bool Children(const AtomSpan& parent, std::vector<AtomSpan>* out) { return ListChildren(data, parent, out, why); }

    // The child of the type, which must be there.
    bool Need(const std::vector<AtomSpan>& atoms, const char (&type)[5], AtomSpan* out) {
        const AtomSpan* found = FindAtom(atoms, FourCC(type));
        if (!found)
            return Fail(std::string("a track has no '") + type + "' atom");
        *out = *found;
        return true;
    }

    bool TrackHeader(const AtomSpan& atom, MovieTrackInfo* t) {
        ByteCursor c(PayloadOf(data, atom));
        uint32_t versionFlags = c.U32();
        t->flags = versionFlags & 0xffffff;
        bool v1 = (versionFlags >> 24) == 1;
        c.Skip(v1 ? 16 : 8);
        t->id = c.U32();
        c.Skip(4);
        c.Skip(v1 ? 8 : 4);
        c.Skip(8 + 2 + 2 + 2 + 2 + 36);
        t->width = c.Fixed32();
        t->height = c.Fixed32();
        return c.Failed() ? Fail("a track header is cut short") : true;
    }

    bool References(const AtomSpan& tref, MovieTrackInfo* t) {
        std::vector<AtomSpan> kinds;
        if (!Children(tref, &kinds))
            return false;
        if (const AtomSpan* imgt = FindAtom(kinds, FourCC("imgt"))) {
            ByteCursor c(PayloadOf(data, *imgt));
            for (uint64_t i = 0; i < imgt->size / 4; ++i)
                t->imageTrackReferences.push_back(c.U32());
        }
        return true;
    }

    bool SampleDescription(const AtomSpan& stsd, MovieTrackInfo* t) {
        ByteCursor c(PayloadOf(data, stsd));
        c.Skip(4);
        uint32_t entries = c.U32();
        if (c.Failed())
            return Fail("a sample description is cut short");
        if (entries == 0)
            return true;
        uint32_t size = c.U32();
        if (size < 16 || size > c.Remaining() + 4)
            return Fail("a sample description's size points outside it");
        t->sampleDescription = PayloadOf(data, stsd).subspan(8, size);
        return true;
    }

    bool SampleSizes(const AtomSpan& stsz, std::vector<uint32_t>* sizes) {
        ByteCursor c(PayloadOf(data, stsz));
        c.Skip(4);
        uint32_t uniform = c.U32();
        uint32_t count = c.U32();
        if (c.Failed() || count > kMaxSamples || (uniform == 0 && count > c.Remaining() / 4))
            return Fail("the sample size table is damaged");
        sizes->resize(count, uniform);
        if (uniform == 0)
            for (uint32_t& s : *sizes)
                s = c.U32();
        return true;
    }

    bool ChunkOffsets(const std::vector<AtomSpan>& stbl, std::vector<uint64_t>* offsets) {
        const AtomSpan* stco = FindAtom(stbl, FourCC("stco"));
        const AtomSpan* co64 = FindAtom(stbl, FourCC("co64"));
        if (!stco && !co64)
            return Fail("a track has no chunk offsets");
        const AtomSpan& atom = stco ? *stco : *co64;
        const size_t entryBytes = stco ? 4 : 8;
        ByteCursor c(PayloadOf(data, atom));
        c.Skip(4);
        uint32_t count = c.U32();
        if (c.Failed() || count > kMaxSamples || count > c.Remaining() / entryBytes)
            return Fail("the chunk offset table is damaged");
        offsets->resize(count);
        for (uint64_t& o : *offsets)
            o = stco ? c.U32() : c.U64();
        return true;
    }

    // Walks the chunks with the sample-to-chunk runs and places every sample.
    bool PlaceSamples(const AtomSpan& stsc, const std::vector<uint32_t>& sizes, const std::vector<uint64_t>& chunks,
                      MovieTrackInfo* t) {
        ByteCursor c(PayloadOf(data, stsc));
        c.Skip(4);
        uint32_t runs = c.U32();
        if (c.Failed() || runs > c.Remaining() / 12 || (runs == 0 && !sizes.empty()))
            return Fail("the sample-to-chunk table is damaged");
        std::vector<std::pair<uint32_t, uint32_t>> run(runs);  // first chunk, samples per chunk
        for (auto& [first, perChunk] : run) {
            first = c.U32();
            perChunk = c.U32();
            c.Skip(4);
        }
        size_t sample = 0;
        for (uint32_t r = 0; r < runs && sample < sizes.size(); ++r) {
            uint32_t first = run[r].first;
            uint64_t end = r + 1 < runs ? run[r + 1].first : uint64_t(chunks.size()) + 1;
            if (first == 0 || (r == 0 && first != 1) || end <= first || end > chunks.size() + 1 || run[r].second == 0 ||
                run[r].second > kMaxSamples)
                return Fail("the sample-to-chunk table is damaged");
            for (uint64_t chunk = first; chunk < end && sample < sizes.size(); ++chunk) {
                uint64_t at = chunks[chunk - 1];
                for (uint32_t i = 0; i < run[r].second && sample < sizes.size(); ++i, ++sample) {
                    if (at > data.size() || sizes[sample] > data.size() - at)
                        return Fail("a sample points outside the file");
                    t->samples.push_back(data.subspan(at, sizes[sample]));
                    at += sizes[sample];
                }
            }
        }
        if (sample != sizes.size())
            return Fail("the sample tables of a track disagree");
        return true;
    }

    bool SampleTable(const AtomSpan& stblAtom, MovieTrackInfo* t) {
        std::vector<AtomSpan> stbl;
        AtomSpan stsd, stsz, stsc;
        std::vector<uint32_t> sizes;
        std::vector<uint64_t> chunks;
        return Children(stblAtom, &stbl) && Need(stbl, "stsd", &stsd) && SampleDescription(stsd, t) &&
               Need(stbl, "stsz", &stsz) && SampleSizes(stsz, &sizes) && ChunkOffsets(stbl, &chunks) &&
               Need(stbl, "stsc", &stsc) && PlaceSamples(stsc, sizes, chunks, t);
    }

    bool Media(const AtomSpan& mdiaAtom, MovieTrackInfo* t) {
        std::vector<AtomSpan> mdia, minf;
        AtomSpan hdlr, minfAtom, stbl;
        if (!Children(mdiaAtom, &mdia) || !Need(mdia, "hdlr", &hdlr))
            return false;
        ByteCursor c(PayloadOf(data, hdlr));
        c.Skip(8);
        t->handler = c.U32();
        if (c.Failed())
            return Fail("a media handler is cut short");
        return Need(mdia, "minf", &minfAtom) && Children(minfAtom, &minf) && Need(minf, "stbl", &stbl) &&
               SampleTable(stbl, t);
    }

    bool Track(const AtomSpan& trakAtom, MovieTrackInfo* t) {
        std::vector<AtomSpan> trak;
        AtomSpan tkhd, mdia;
        if (!Children(trakAtom, &trak) || !Need(trak, "tkhd", &tkhd) || !TrackHeader(tkhd, t))
            return false;
        if (const AtomSpan* tref = FindAtom(trak, FourCC("tref")); tref && !References(*tref, t))
            return false;
        return Need(trak, "mdia", &mdia) && Media(mdia, t);
    }

    uint32_t ControllerType(const std::vector<AtomSpan>& moov) {
        const AtomSpan* udta = FindAtom(moov, FourCC("udta"));
        std::vector<AtomSpan> entries;
        std::string ignored;
        if (!udta)
            return 0;
        // User data may end with a 32-bit zero after its last entry; a damaged user data only
        // loses the controller type.
        const uint64_t end = udta->payload + udta->size;
        if (!ListAtoms(data, udta->payload, end, false, &entries, &ignored) &&
            !(udta->size >= 4 && ByteCursor(data.subspan(end - 4, 4)).U32() == 0 &&
              ListAtoms(data, udta->payload, end - 4, false, &entries, &ignored)))
            return 0;
        const AtomSpan* ctyp = FindAtom(entries, FourCC("ctyp"));
        if (!ctyp)
            return 0;
        ByteCursor c(PayloadOf(data, *ctyp));
        return c.U32();
    }
};

}  // namespace

bool ReadMovie(std::span<const uint8_t> data, MovieInfo* movie, std::string* why) {
    *movie = MovieInfo{};
    if (data.empty()) {
        *why = "the file is empty";
        return false;
    }
    std::vector<AtomSpan> top, moov;
    if (!ListAtoms(data, 0, data.size(), true, &top, why))
        return false;
    const AtomSpan* moovAtom = FindAtom(top, FourCC("moov"));
    if (!moovAtom) {
        *why = "the file is not a QuickTime movie (it has no movie atom)";
        return false;
    }
    Reader reader{data, why};
    if (!reader.Children(*moovAtom, &moov))
        return false;
    for (const AtomSpan& atom : moov) {
        if (atom.type != FourCC("trak"))
            continue;
        MovieTrackInfo track;
        if (!reader.Track(atom, &track))
            return false;
        movie->tracks.push_back(std::move(track));
    }
    movie->controllerType = reader.ControllerType(moov);
    return true;
}
