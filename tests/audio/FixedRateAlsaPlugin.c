/* A sound card for the PortAudio tests that takes one format only, 48000 Hz stereo 16-bit,
   the way many USB codecs do, so the backends must open it as it is and convert. ALSA loads
   it from the test's configuration as PCM type `velafixed`:

     pcm_type.velafixed { lib "/path/to/this.so" }
     pcm.name { type velafixed infile "/path/in.raw" outfile "/path/out.raw" }

   Recording reads interleaved frames from `infile` (silence past its end, or without one);
   playing appends the frames to `outfile` (or drops them). Like ALSA's `null` device it runs
   as fast as it is driven: its poll descriptor is always ready, and each time ALSA asks for
   the position the device has taken everything written or filled all the room there was. */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <unistd.h>

enum { kRate = 48000, kChannels = 2, kFrameBytes = 4 };

typedef struct {
  snd_pcm_ioplug_t io;
  FILE* in;
  FILE* out;
  int running;
  snd_pcm_uframes_t position; /* frames played or recorded since the last prepare */
  snd_pcm_uframes_t filled;   /* recording through mmap: frames of those already copied in */
} FixedPcm;

static char* FrameAt(const snd_pcm_channel_area_t* areas, snd_pcm_uframes_t offset) {
  return (char*)areas[0].addr + (areas[0].first + offset * areas[0].step) / 8;
}

static void ReadFrames(FixedPcm* p, char* dst, snd_pcm_uframes_t frames) {
  size_t got = p->in != NULL ? fread(dst, kFrameBytes, frames, p->in) : 0;
  memset(dst + got * kFrameBytes, 0, (frames - got) * kFrameBytes);
}

static int Start(snd_pcm_ioplug_t* io) {
  ((FixedPcm*)io->private_data)->running = 1;
  return 0;
}

static int Stop(snd_pcm_ioplug_t* io) {
  ((FixedPcm*)io->private_data)->running = 0;
  return 0;
}

static int Prepare(snd_pcm_ioplug_t* io) {
  FixedPcm* p = io->private_data;
  p->position = 0;
  p->filled = 0;
  return 0;
}

/* The position within the buffer. While running the device moves on by everything queued
   (playing) or all the free room (recording), one frame short of the whole buffer so that
   ALSA, which sees only the position within the buffer, can tell the step from no step. */
static snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
  FixedPcm* p = io->private_data;
  if (p->running) {
    snd_pcm_uframes_t step = snd_pcm_ioplug_hw_avail(io, io->hw_ptr, io->appl_ptr);
    if (step >= io->buffer_size) step = io->buffer_size - 1;
    p->position += step;
  }
  return (snd_pcm_sframes_t)(p->position % io->buffer_size);
}

static snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                  snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  FixedPcm* p = io->private_data;
  if (io->stream == SND_PCM_STREAM_PLAYBACK) {
    if (p->out != NULL) fwrite(FrameAt(areas, offset), kFrameBytes, size, p->out);
    return (snd_pcm_sframes_t)size;
  }
  if (io->access == SND_PCM_ACCESS_RW_INTERLEAVED) {
    ReadFrames(p, FrameAt(areas, offset), size); /* straight into the reader's buffer */
    return (snd_pcm_sframes_t)size;
  }
  /* Through mmap ALSA offers the whole readable part of the buffer on every update, as one
     or two pieces; only the frames recorded since the last offer are new. */
  while (p->filled < p->position) {
    snd_pcm_uframes_t at = p->filled % io->buffer_size;
    if (at < offset || at >= offset + size) break; /* in the other piece */
    snd_pcm_uframes_t n = p->position - p->filled;
    if (n > offset + size - at) n = offset + size - at;
    ReadFrames(p, FrameAt(areas, at), n);
    p->filled += n;
  }
  return (snd_pcm_sframes_t)size;
}

static int Close(snd_pcm_ioplug_t* io) {
  FixedPcm* p = io->private_data;
  if (p->in != NULL) fclose(p->in);
  if (p->out != NULL) fclose(p->out);
  if (io->poll_fd >= 0) close(io->poll_fd);
  free(p);
  return 0;
}

static const snd_pcm_ioplug_callback_t kCallbacks = {
    .start = Start,
    .stop = Stop,
    .pointer = Pointer,
    .transfer = Transfer,
    .close = Close,
    .prepare = Prepare,
};

static int Constrain(snd_pcm_ioplug_t* io) {
  static const unsigned int access[] = {SND_PCM_ACCESS_MMAP_INTERLEAVED,
                                        SND_PCM_ACCESS_RW_INTERLEAVED};
  static const unsigned int format[] = {SND_PCM_FORMAT_S16_LE};
  int err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 2, access);
  if (err >= 0) err = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, format);
  if (err >= 0) {
    err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, kChannels, kChannels);
  }
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, kRate, kRate);
  if (err >= 0) {
    err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64 * kFrameBytes,
                                          64 * 1024);
  }
  if (err >= 0) err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
  if (err >= 0) {
    err = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 128 * kFrameBytes,
                                          1024 * 1024);
  }
  return err;
}

SND_PCM_PLUGIN_DEFINE_FUNC(velafixed) {
  (void)root;
  const char* infile = NULL;
  const char* outfile = NULL;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t* n = snd_config_iterator_entry(i);
    const char* id;
    if (snd_config_get_id(n, &id) < 0) continue;
    if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0) {
      continue;
    }
    if (strcmp(id, "infile") == 0 && snd_config_get_string(n, &infile) >= 0) continue;
    if (strcmp(id, "outfile") == 0 && snd_config_get_string(n, &outfile) >= 0) continue;
    SNDERR("Unknown or bad field %s", id);
    return -EINVAL;
  }

  FixedPcm* p = calloc(1, sizeof *p);
  if (p == NULL) return -ENOMEM;
  if (stream == SND_PCM_STREAM_CAPTURE && infile != NULL) p->in = fopen(infile, "rb");
  if (stream == SND_PCM_STREAM_PLAYBACK && outfile != NULL) p->out = fopen(outfile, "ab");
  p->io.version = SND_PCM_IOPLUG_VERSION;
  p->io.name = "VELA fixed-format test device";
  p->io.callback = &kCallbacks;
  p->io.private_data = p;
  /* A counter that is never read stays both readable and writable. */
  p->io.poll_fd = eventfd(1, EFD_NONBLOCK | EFD_CLOEXEC);
  p->io.poll_events = stream == SND_PCM_STREAM_CAPTURE ? POLLIN : POLLOUT;
  int err = p->io.poll_fd < 0 ? -errno : 0;
  if (err == 0 && ((infile != NULL && stream == SND_PCM_STREAM_CAPTURE && p->in == NULL) ||
                   (outfile != NULL && stream == SND_PCM_STREAM_PLAYBACK && p->out == NULL))) {
    err = -ENOENT;
  }
  if (err < 0) {
    Close(&p->io);
    return err;
  }
  err = snd_pcm_ioplug_create(&p->io, name, stream, mode);
  if (err < 0) {
    Close(&p->io);
    return err;
  }
  err = Constrain(&p->io);
  if (err < 0) {
    snd_pcm_ioplug_delete(&p->io); /* calls Close */
    return err;
  }
  *pcmp = p->io.pcm;
  return 0;
}

SND_PCM_PLUGIN_SYMBOL(velafixed);
