#include "movie/MovieFile.h"

#include <limits>

#include "movie/AtomReader.h"
#include "movie/AtomWriter.h"

namespace {

// Headers of the media handler and the data handler: QuickTime names them with counted strings.
void WriteHandler(AtomWriter& w, const char* componentType, const char* subtype, const char* name) {
    size_t hdlr = w.Begin("hdlr");
    w.U32(0);  // version, flags
    w.FourCC(componentType);
    w.FourCC(subtype);
    w.FourCC("appl");
    w.U32(0);  // component flags
    w.U32(0);  // flags mask
    w.PascalString(name);
    w.End(hdlr);
}

void WriteMediaHeader(AtomWriter& w, uint32_t now, uint32_t duration) {
    size_t mdhd = w.Begin("mdhd");
    w.U32(0);
    w.U32(now);
    w.U32(now);
    w.U32(kMovieTimeScale);
    w.U32(duration);
    w.U16(0);  // language
    w.U16(0);  // quality
    w.End(mdhd);
}

void WriteMediaInformationHeader(AtomWriter& w, bool video) {
    if (video) {
        size_t vmhd = w.Begin("vmhd");
        w.U32(1);     // version 0, flags 1 (no lean ahead)
        w.U16(0x40);  // graphics mode: dither copy
        for (int i = 0; i < 3; ++i)
            w.U16(0x8000);
        w.End(vmhd);
        return;
    }
    // Tracks of other media carry the base media information header.
    size_t gmhd = w.Begin("gmhd");
    size_t gmin = w.Begin("gmin");
    w.U32(0);
    w.U16(0x40);
    for (int i = 0; i < 3; ++i)
        w.U16(0x8000);
    w.U16(0);  // balance
    w.U16(0);  // reserved
    w.End(gmin);
    w.End(gmhd);
}

void WriteDataInformation(AtomWriter& w) {
    size_t dinf = w.Begin("dinf");
    size_t dref = w.Begin("dref");
    w.U32(0);
    w.U32(1);
    // An alias with flag 1: the data is in the movie's own file.
    size_t alis = w.Begin("alis");
    w.U32(1);
    w.End(alis);
    w.End(dref);
    w.End(dinf);
}

void WriteSampleTable(AtomWriter& w, const MovieTrackSpec& t, uint64_t chunkOffset, bool largeOffsets) {
    const uint32_t count = static_cast<uint32_t>(t.samples.size());
    size_t stbl = w.Begin("stbl");
    size_t stsd = w.Begin("stsd");
    w.U32(0);
    w.U32(1);
    w.Bytes(t.sampleDescription.data(), t.sampleDescription.size());
    w.End(stsd);
    size_t stts = w.Begin("stts");
    w.U32(0);
    w.U32(1);
    w.U32(count);
    w.U32(t.sampleDuration);
    w.End(stts);
    size_t stsc = w.Begin("stsc");
    w.U32(0);
    w.U32(1);
    w.U32(1);      // first chunk
    w.U32(count);  // all samples in the one chunk
    w.U32(1);      // sample description
    w.End(stsc);
    size_t stsz = w.Begin("stsz");
    w.U32(0);
    w.U32(0);  // sizes differ: one entry each
    w.U32(count);
    for (const auto& sample : t.samples)
        w.U32(static_cast<uint32_t>(sample.size()));
    w.End(stsz);
    size_t stco = w.Begin(largeOffsets ? "co64" : "stco");
    w.U32(0);
    w.U32(1);
    if (largeOffsets)
        w.U64(chunkOffset);
    else
        w.U32(static_cast<uint32_t>(chunkOffset));
    w.End(stco);
    w.End(stbl);
}

void WriteTrack(AtomWriter& w, const MovieTrackSpec& t, uint32_t now, uint64_t chunkOffset, bool largeOffsets) {
    const uint32_t duration = static_cast<uint32_t>(t.samples.size()) * t.sampleDuration;
    const bool video = std::string(t.handler) == "vide";
    size_t trak = w.Begin("trak");
    size_t tkhd = w.Begin("tkhd");
    // Flags: enabled (1), in movie (2), in preview (4).
    w.U32(t.enabled ? 0x7 : 0x6);
    w.U32(now);
    w.U32(now);
    w.U32(t.id);
    w.U32(0);
    w.U32(duration);
    w.Zeros(8);
    w.U16(0);  // layer
    w.U16(0);  // alternate group
    w.U16(0);  // volume
    w.U16(0);
    w.IdentityMatrix();
    w.Fixed32(t.width);
    w.Fixed32(t.height);
    w.End(tkhd);
    if (t.imageTrackReference) {
        size_t tref = w.Begin("tref");
        size_t imgt = w.Begin("imgt");
        w.U32(t.imageTrackReference);
        w.End(imgt);
        w.End(tref);
    }
    size_t mdia = w.Begin("mdia");
    WriteMediaHeader(w, now, duration);
    WriteHandler(w, "mhlr", t.handler, t.handlerName);
    size_t minf = w.Begin("minf");
    WriteMediaInformationHeader(w, video);
    WriteHandler(w, "dhlr", "alis", "Alias Data Handler");
    WriteDataInformation(w);
    WriteSampleTable(w, t, chunkOffset, largeOffsets);
    w.End(minf);
    w.End(mdia);
    w.End(trak);
}

std::vector<uint8_t> MovieAtom(const std::vector<MovieTrackSpec>& tracks, bool vrController, uint32_t now,
                               const std::vector<uint64_t>& chunkOffsets, bool largeOffsets) {
    uint32_t duration = 0, nextId = 1;
    for (const MovieTrackSpec& t : tracks) {
        duration = std::max(duration, static_cast<uint32_t>(t.samples.size()) * t.sampleDuration);
        nextId = std::max(nextId, t.id + 1);
    }
    AtomWriter w;
    size_t moov = w.Begin("moov");
    size_t mvhd = w.Begin("mvhd");
    w.U32(0);
    w.U32(now);
    w.U32(now);
    w.U32(kMovieTimeScale);
    w.U32(duration);
    w.Fixed32(1.0);  // preferred rate
    w.Fixed16(1.0);  // preferred volume
    w.Zeros(10);
    w.IdentityMatrix();
    w.Zeros(6 * 4);  // preview time and duration, poster time, selection, current time
    w.U32(nextId);
    w.End(mvhd);
    for (size_t i = 0; i < tracks.size(); ++i)
        WriteTrack(w, tracks[i], now, chunkOffsets[i], largeOffsets);
    if (vrController) {
        size_t udta = w.Begin("udta");
        size_t ctyp = w.Begin("ctyp");
        w.FourCC("qtvr");
        w.End(ctyp);
        w.End(udta);
    }
    w.End(moov);
    return w.Take();
}

}  // namespace

std::vector<uint8_t> VideoSampleDescription(uint32_t codec, int width, int height, int codecQuality,
                                            const std::string& compressorName) {
    AtomWriter w;
    w.U32(0);
    w.U32(codec);
    w.Zeros(6);
    w.U16(1);  // data reference index
    w.U16(0);  // version
    w.U16(0);  // revision level
    w.U32(0);  // vendor
    w.U32(0);  // temporal quality
    w.U32(static_cast<uint32_t>(codecQuality));
    w.U16(static_cast<uint16_t>(width));
    w.U16(static_cast<uint16_t>(height));
    w.Fixed32(72.0);
    w.Fixed32(72.0);
    w.U32(0);  // data size
    w.U16(1);  // frames per sample
    w.PascalString(compressorName, 32);
    w.U16(24);      // depth
    w.U16(0xffff);  // no colour table
    w.PatchU32(0, static_cast<uint32_t>(w.Size()));
    return w.Take();
}

std::vector<uint8_t> BuildMovieFile(const std::vector<MovieTrackSpec>& tracks, bool vrController) {
    AtomWriter ftyp;
    size_t start = ftyp.Begin("ftyp");
    ftyp.FourCC("qt  ");
    ftyp.U32(0x00000200);
    ftyp.FourCC("qt  ");
    ftyp.End(start);

    uint64_t payload = 0;
    for (const MovieTrackSpec& t : tracks)
        for (const auto& s : t.samples)
            payload += s.size();
    const uint32_t now = QuickTimeNow();
    std::vector<uint64_t> offsets(tracks.size(), 0);
    // Offsets do not change the movie atom's size, so a first build with zeros measures it.
    const bool large = payload > std::numeric_limits<uint32_t>::max() - (1u << 24);
    const uint64_t moovSize = MovieAtom(tracks, vrController, now, offsets, large).size();
    const uint64_t mdatHeader = large ? 16 : 8;
    uint64_t at = ftyp.Size() + moovSize + mdatHeader;
    for (size_t i = 0; i < tracks.size(); ++i) {
        offsets[i] = at;
        for (const auto& s : tracks[i].samples)
            at += s.size();
    }
    std::vector<uint8_t> moov = MovieAtom(tracks, vrController, now, offsets, large);

    std::vector<uint8_t> file = ftyp.Take();
    file.reserve(at);
    file.insert(file.end(), moov.begin(), moov.end());
    AtomWriter mdat;
    if (large) {
        mdat.U32(1);
        mdat.FourCC("mdat");
        mdat.U64(payload + 16);
    } else {
        mdat.U32(static_cast<uint32_t>(payload + 8));
        mdat.FourCC("mdat");
    }
    file.insert(file.end(), mdat.Data().begin(), mdat.Data().end());
    for (const MovieTrackSpec& t : tracks)
        for (const auto& s : t.samples)
            file.insert(file.end(), s.begin(), s.end());
    return file;
}
