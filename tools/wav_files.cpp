#include "tools/wav_files.h"

#include <cstdio>

namespace {

struct WavFile {
  FILE* File;
  uint64_t Position;
  std::string Path;
  WavFiles* Owner;
};

int FileWriteAt(void* user, uint64_t offset, const uint8_t* bytes, uint32_t count) {
  WavFile* f = static_cast<WavFile*>(user);
  // Sound is appended; only the header is rewritten in place, at small offsets.
  if (offset != f->Position) {
    if (offset > 0x7FFFFFFF || std::fseek(f->File, long(offset), SEEK_SET) != 0) return 0;
    f->Position = offset;
  }
  if (std::fwrite(bytes, 1, count, f->File) != count) return 0;
  f->Position += count;
  return 1;
}

void PlatformFileClose(void* user, int complete) {
  WavFile* f = static_cast<WavFile*>(user);
  if (std::fclose(f->File) != 0 || !complete) f->Owner->Failed.push_back(f->Path);
  delete f;
}

int ChooseFile(void* user, Movie* movie, uint32_t fileIndex, WavSink* sink) {
  WavFiles* files = static_cast<WavFiles*>(user);
  if (fileIndex == WAV_NO_TRACK) return 0;
  std::string path = files->Dir + "/t" + std::to_string(movie->TrackIds[fileIndex]) + ".wav";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    files->Failed.push_back(path);
    return 0;
  }
  *sink = WavSink{FileWriteAt, PlatformFileClose, new WavFile{f, 0, path, files}};
  return 1;
}

}  // namespace

int WavFilesSelect(WavFiles* files) {
  WavSetSinkChooser(ChooseFile, files);
  return SoundSelect(SoundUseWav);
}

void WavFilesRelease() {
  SoundSelect(nullptr);
  WavSetSinkChooser(nullptr, nullptr);
}

int WavTrackIds(const std::string& path, std::vector<uint32_t>* ids) {
  MovieSetPendingIoBufferSize(0);
  Movie* m = MovieOpen(path.c_str(), OpenNoFrameBuffers | OpenNoIoThread | OpenNoFillIo |
                                         OpenIoBufferSize);
  if (!m) return 0;
  ids->assign(m->TrackIds, m->TrackIds + m->NumTracks);
  MovieClose(m);
  return 1;
}
