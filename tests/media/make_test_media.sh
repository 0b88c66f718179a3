#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Generates the media files the engine's tests decode, into the folder given as $1.
set -eu
out="$1"
mkdir -p "$out"
cd "$out"

gen() {  # gen OUTPUT FFMPEG-ARGS...: skipped when the file already exists
    target="$1"
    shift
    if [ ! -s "$target" ]; then
        ffmpeg -nostdin -hide_banner -loglevel error -y "$@" "$target.tmp.${target##*.}"
        mv "$target.tmp.${target##*.}" "$target"
    fi
}

L='0.6*sin(2*PI*440*t)'
R='0.3*sin(2*PI*1000*t)'
# 16-bit 44.1 kHz stereo with different channels: the reference source.
gen stereo16.wav -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a pcm_s16le
# A 100 Hz sine in both channels for speed and level checks.
gen sine100.wav -f lavfi -i "aevalsrc=0.5*sin(2*PI*100*t)|0.5*sin(2*PI*100*t):s=44100:d=2" -c:a pcm_s16le
gen mono16.wav -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=2" -c:a pcm_s16le
gen loud.wav -f lavfi -i "aevalsrc=0.9*sin(2*PI*200*t)|0.9*sin(2*PI*200*t):s=44100:d=1" -c:a pcm_s16le
gen u8.wav -f lavfi -i "aevalsrc=$L|$R:s=44100:d=2" -c:a pcm_u8
gen s24.wav -f lavfi -i "aevalsrc=$L|$R:s=44100:d=2" -c:a pcm_s24le
gen rate48k.wav -f lavfi -i "aevalsrc=$L|$R:s=48000:d=2" -c:a pcm_s16le
gen rate96k.wav -f lavfi -i "aevalsrc=$L|$R:s=96000:d=2" -c:a pcm_s24le
gen surround51.wav -f lavfi -i "aevalsrc=0.3*sin(2*PI*300*t)|0.3*sin(2*PI*300*t)|0.3*sin(2*PI*300*t)|0.1*sin(2*PI*50*t)|0.3*sin(2*PI*300*t)|0.3*sin(2*PI*300*t):s=48000:d=2:c=5.1" -c:a pcm_s16le
gen tone.flac -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a flac -sample_fmt s16
gen cbr.mp3 -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a libmp3lame -b:a 128k
gen vbr.mp3 -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a libmp3lame -q:a 4
gen vbr_noxing.mp3 -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a libmp3lame -q:a 4 -write_xing 0 -id3v2_version 0
gen tone.ogg -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a libvorbis -q:a 4
gen tone.m4a -f lavfi -i "aevalsrc=$L|$R:s=44100:d=3" -c:a aac -b:a 128k
gen video.mp4 -f lavfi -i "testsrc=size=160x120:rate=25:duration=2" -f lavfi -i "aevalsrc=$L|$R:s=48000:d=2" \
    -c:v mpeg4 -c:a aac -b:a 96k -shortest
gen silent_video.mp4 -f lavfi -i "testsrc=size=160x120:rate=25:duration=1" -c:v mpeg4

# An MP3 stream whose rate changes half-way: two raw streams joined end to end.
gen part44k.mp3 -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*440*t):s=44100:d=1" \
    -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0
gen part22k.mp3 -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*440*t):s=22050:d=1" \
    -c:a libmp3lame -b:a 64k -write_xing 0 -id3v2_version 0
[ -s ratechange.mp3 ] || cat part44k.mp3 part22k.mp3 > ratechange.mp3
# The same for AAC in ADTS.
gen part44k.aac -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*440*t):s=44100:d=1" -c:a aac -f adts
gen part22k.aac -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*440*t):s=22050:d=1" -c:a aac -f adts
[ -s ratechange.aac ] || cat part44k.aac part22k.aac > ratechange.aac

# Damaged and hostile inputs.
[ -s truncated.mp3 ] || head -c 20000 cbr.mp3 > truncated.mp3
[ -s truncated.wav ] || head -c 100000 stereo16.wav > truncated.wav
: > empty.wav
printf "These are words, not sound.\n" > text.wav
[ -s random.mp3 ] || head -c 65536 /dev/urandom > random.mp3
printf '#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nstereo16.wav\n#EXT-X-ENDLIST\n' > playlist.m3u8
printf "ffconcat version 1.0\nfile 'stereo16.wav'\n" > list.ffconcat
mkdir -p folder.wav

# Trims, seeking and shaping: a tone with noise, so that a shift by one sample shows.
N='0.3*sin(2*PI*(220+40*t)*t)+0.2*random(0)-0.1|0.3*sin(2*PI*330*t)+0.2*random(1)-0.1'
gen shape.wav -f lavfi -i "aevalsrc=$N:s=44100:d=5" -c:a pcm_s16le
gen shape.flac -i shape.wav -c:a flac
gen shape.mp3 -i shape.wav -c:a libmp3lame -b:a 128k
gen seek.wav -f lavfi -i "aevalsrc=$N:s=44100:d=30" -c:a pcm_s16le
gen seek.flac -i seek.wav -c:a flac
gen seek_cbr.mp3 -i seek.wav -c:a libmp3lame -b:a 128k
gen seek_vbr.mp3 -i seek.wav -c:a libmp3lame -q:a 4
gen seek.ogg -i seek.wav -c:a libvorbis -q:a 4
gen seek.m4a -i seek.wav -c:a aac -b:a 128k
gen seek_alac.m4a -i seek.wav -c:a alac
gen seek.wv -i seek.wav -c:a wavpack
gen seek.aiff -i seek.wav
# Six seconds of a tone, to be cut short by the tests of files holding less than their headers say;
# the .m4a has its index first, as downloads do.
gen sine6.flac -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=6" -c:a flac
gen sine6_index_first.m4a -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=6" -c:a aac -movflags +faststart
# A rising tone without noise (200 Hz plus 100 Hz a second): its pitch tells where in the file a
# stretched entry plays.
gen chirp.flac -f lavfi -i "aevalsrc=0.5*sin(2*PI*(200+50*t)*t):s=44100:d=8" -c:a flac
# A quiet tone with a 5 ms burst 20 dB louder every two seconds: peaks far above the loudness.
gen bursts.wav -f lavfi -i "aevalsrc=0.05*sin(2*PI*220*t)+0.5*sin(2*PI*3000*t)*lt(mod(t+1.5\,2)\,0.005):s=44100:d=8" \
    -ac 2 -c:a pcm_s16le
gen seek48k.flac -f lavfi -i "aevalsrc=$N:s=48000:d=30" -c:a flac

# Levels and trims set from the sound: a take with a second of silence at each end, one that is
# silent throughout, and two phrases 18 dB apart (a tone that swells, so that gating matters).
gen padded_take.wav -f lavfi -i "aevalsrc=if(between(t\,1\,3)\,0.5*sin(2*PI*440*t)\,0)|if(between(t\,1\,3)\,0.5*sin(2*PI*440*t)\,0):s=44100:d=4" -c:a pcm_s16le
gen silence.wav -f lavfi -i "anullsrc=r=44100:cl=stereo" -t 2 -c:a pcm_s16le
P='sin(2*PI*300*t)*(0.6+0.4*sin(2*PI*0.7*t))'
gen loud_phrase.flac -f lavfi -i "aevalsrc=0.7*$P|0.6*$P:s=44100:d=6" -c:a flac
gen quiet_phrase.mp3 -f lavfi -i "aevalsrc=0.0881*$P|0.0755*$P:s=48000:d=6" -c:a libmp3lame -b:a 192k
