#!/usr/bin/env python3
"""How well quirelle-render --judge hears takes that sound like singers: voices of real songs
rendered by quirelle-render itself with an instrument standing in for the singer (several General
MIDI programs, each SoundFont found), some notes bent 70-150 cents off, some left out, vibrato
(the modulation wheel), an octave down, onsets up to 30 ms early or late, the other voices
bleeding in at -24 dB, the take started early or late. Prints one line per take and one per program and SoundFont: the offsets found
against the true ones and the verdicts right. Where Python's aubio module is installed (Debian
python3-aubio), a plain aubio reference (yinfft, the same rule, told the true offset) is scored
beside it, and the verdicts on the takes where that reference gets 98 % are summed.

  bench/judge_takes.py [--render BUILD/tools/quirelle-render] [--quick] [--keep DIR]
"""
import argparse
import array
import os
import random
import re
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.normpath(os.path.join(HERE, '..', '..', 'shared', 'corpus'))
SOUNDFONTS = ['/usr/share/sounds/sf2/FluidR3_GM.sf2', '/usr/share/sounds/sf2/TimGM6mb.sf2']
# FluidR3's Choir Aahs sounds two pitches about a tone apart on many keys (an ensemble sample), so no
# tracker hears one sung line in it; it stays as the hardest case.
PROGRAMS = [(52, 'choir-aahs'), (53, 'voice-oohs'), (54, 'synth-voice'), (73, 'flute'),
            (71, 'clarinet'), (68, 'oboe'), (40, 'violin')]
# Songs and the voices sung from them (as --info numbers them).
SONGS = [('abc2midi/satb1_old_hundredth.mid', [1, 2, 3, 4]),
         ('choir-exports/musescore3/bach_bwv256.mid', [1, 4]),
         ('choir-exports/musescore3/bach_bwv345.mid', [2, 3])]
# The take starts this early (negative: late), in seconds.
LEADS = [0.0, 0.8, -0.6, 0.35, -0.25, 0.61, 0.13, -0.9, 0.5]
# The reference's verdicts right, ours and the notes on the takes where it gets 98 %.
REFERENCE = [0, 0, 0]
ALL_OFFSETS = []
NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B']


# ---- Standard MIDI Files: read into events, change, write back ----

def read_varlen(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, at


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def read_smf(path):
    data = open(path, 'rb').read()
    assert data[:4] == b'MThd'
    header = data[8:14]
    at = 8 + struct.unpack('>I', data[4:8])[0]
    tracks = []
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack('>I', data[at + 4:at + 8])[0]
        body = data[at + 8:at + 8 + size]
        at += 8 + size
        if kind != b'MTrk':
            continue
        events, pos, tick, status = [], 0, 0, 0
        while pos < len(body):
            delta, pos = read_varlen(body, pos)
            tick += delta
            if body[pos] & 0x80:
                status = body[pos]
                pos += 1
            if status == 0xFF:
                kind_byte = body[pos]
                length, end = read_varlen(body, pos + 1)
                events.append((tick, bytes([0xFF, kind_byte]) + varlen(length) +
                               body[end:end + length]))
                pos = end + length
                if kind_byte == 0x2F:
                    break
            elif status in (0xF0, 0xF7):
                length, end = read_varlen(body, pos)
                events.append((tick, bytes([status]) + varlen(length) + body[end:end + length]))
                pos = end + length
            else:
                size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                events.append((tick, bytes([status]) + body[pos:pos + size]))
                pos += size
        tracks.append(events)
    return header, tracks


def write_smf(path, header, tracks):
    out = bytearray(b'MThd' + struct.pack('>I', 6) + header[:2] +
                    struct.pack('>H', len(tracks)) + header[4:6])
    for events in tracks:
        body, last = bytearray(), 0
        for tick, message in sorted(events, key=lambda e: e[0]):  # stable: order kept at a tick
            body += varlen(tick - last) + message
            last = tick
        out += b'MTrk' + struct.pack('>I', len(body)) + body
    open(path, 'wb').write(out)


def ticks_per_ms(header, tracks):
    """At the song's first tempo, for moving onsets by a few milliseconds."""
    division = struct.unpack('>H', header[4:6])[0]
    for events in tracks:
        for _, message in events:
            if message[:2] == b'\xff\x51':
                return division * 1000 / int.from_bytes(message[3:6], 'big')
    return division * 1000 / 500000


def channels_of(events):
    return sorted({m[0] & 0x0F for _, m in events if 0x80 <= m[0] < 0xF0})


def with_program(tracks, program, vibrato):
    """Every pitched channel plays `program` (and its vibrato wheel up when asked)."""
    changed = []
    for events in tracks:
        kept = [(t, m) for t, m in events if not (m[0] & 0xF0 == 0xC0 and m[0] & 0x0F != 9)]
        start = []
        for channel in channels_of(events):
            if channel != 9:
                start.append((0, bytes([0xC0 | channel, program])))
                start.append((0, bytes([0xB0 | channel, 1, 110 if vibrato else 0])))
        changed.append(start + kept)
    return changed


def sung(tracks, notes, detuned, left_out, octave, late):
    """The judged voice's notes (channel, nth note-on of the key, key) bent by `detuned` cents,
    left out, moved an octave down, begun `late` ticks after the written start (negative: early)."""
    targets = {(c, n, k): i for i, (c, n, k) in enumerate(notes)}
    changed = []
    seen = {}
    for events in tracks:
        out, dropped = [], {}
        for tick, message in events:
            kind, channel = message[0] & 0xF0, message[0] & 0x0F
            if kind in (0x80, 0x90) and len(message) == 3:
                key = message[1]
                on = kind == 0x90 and message[2] > 0
                index = None
                if on:
                    nth = seen.get((channel, key), 0)
                    seen[(channel, key)] = nth + 1
                    index = targets.get((channel, nth, key))
                if not on and dropped.get((channel, key)):
                    dropped[(channel, key)] -= 1
                    continue
                if index is not None and index in left_out:
                    dropped[(channel, key)] = dropped.get((channel, key), 0) + 1
                    continue
                if index is not None:
                    bend = 8192 + round(detuned.get(index, 0) / 200 * 8192)
                    bend = max(0, min(16383, bend))
                    tick = max(0, tick + late.get(index, 0))
                    out.append((tick, bytes([0xE0 | channel, bend & 0x7F, bend >> 7])))
                if (channel, key) in {(c, k) for c, _, k in notes} and octave:
                    message = bytes([message[0], key - 12, message[2]])
            out.append((tick, message))
        for channel in sorted({c for c, _, _ in notes if c is not None}):
            if channel in channels_of(events):  # bends of two semitones, as the cents assume
                out += [(0, bytes([0xB0 | channel, control, value])) for control, value in
                        ((0x65, 0), (0x64, 0), (0x06, 2), (0x26, 0), (0x65, 0x7F), (0x64, 0x7F))]
        changed.append(out)
    return changed


# ---- Audio ----

def read_wav(path):
    with wave.open(path, 'rb') as w:
        assert w.getsampwidth() == 2
        channels, rate = w.getnchannels(), w.getframerate()
        samples = array.array('h', w.readframes(w.getnframes()))
    if channels == 2:
        samples = array.array('h', [(a + b) // 2 for a, b in zip(samples[0::2], samples[1::2])])
    return samples, rate


def write_wav(path, samples, rate):
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(samples.tobytes())


def reference_verdicts(take, spans, offset):
    """A plain aubio reference: yinfft frames, the judging rule, the true offset. None without aubio."""
    try:
        import aubio
    except ImportError:
        return None
    source = aubio.source(take, 0, 256)
    pitch = aubio.pitch('yinfft', 2048, 256, source.samplerate)
    pitch.set_unit('midi')
    pitch.set_silence(-50)
    frames, hop = [], 0
    while True:
        block, read = source()
        frames.append((hop * 256 / source.samplerate, float(pitch(block)[0])))
        hop += 1
        if read < 256:
            break
    verdicts = []
    for start, end, key in spans:
        length = end - start
        attack = 0.08 if length >= 0.15 else length * 0.08 / 0.15
        release = min(0.05, length / 5)
        inside = [k for t, k in frames if start + attack + offset <= t < end - release + offset]
        voiced = [k for k in inside if k > 0]
        if not voiced or len(voiced) * 2 < len(inside):
            verdicts.append('missed')
            continue
        cents = sorted(100 * (k - key) - 1200 * round((k - key) / 12) for k in voiced)
        median = cents[len(cents) // 2]
        verdicts.append('in-tune' if abs(median) <= 50 else 'sharp' if median > 0 else 'flat')
    return verdicts


def run(args):
    result = subprocess.run(args, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit('failed: %s\n%s' % (' '.join(args), result.stderr))
    return result.stdout


def key_of(name):
    match = re.fullmatch(r'([A-G]#?)(-?\d+)', name)
    return NAMES.index(match.group(1)) + 12 * (int(match.group(2)) + 1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--render', default=os.path.join(HERE, '..', 'build', 'tools', 'quirelle-render'))
    parser.add_argument('--quick', action='store_true', help='one take per program and SoundFont')
    parser.add_argument('--keep', help='keep the takes in this folder')
    options = parser.parse_args()
    render = options.render
    work = options.keep or tempfile.mkdtemp(prefix='quirelle-judge-takes-')
    os.makedirs(work, exist_ok=True)
    soundfonts = [sf for sf in SOUNDFONTS if os.path.exists(sf)]
    random.seed(27)
    rows, take_number = [], 0
    for soundfont in soundfonts:
        sf_name = os.path.basename(soundfont).split('.')[0]
        for program, program_name in PROGRAMS:
            offsets, right, total = [], 0, 0
            takes = SONGS[:1] if options.quick else SONGS
            for song, voices in takes:
                path = os.path.join(CORPUS, song)
                voice = voices[take_number % len(voices)]
                lead = LEADS[take_number % len(LEADS)]
                vibrato = take_number % 2 == 0
                octave = take_number % 5 == 3
                bleed = take_number % 3 == 1
                take_number += 1
                header, tracks = read_smf(path)
                base = os.path.join(work, 'take%d' % take_number)
                plain = with_program(tracks, program, vibrato)
                write_smf(base + '-plain.mid', header, plain)
                # The written notes, their times, and the messages that sound them.
                silent = base + '-silent.wav'
                write_wav(silent, array.array('h', [0] * 100), 44100)
                judged = run([render, '--judge', silent, '--voice', str(voice), path])
                written = []
                for line in judged.splitlines():
                    parts = line.split()
                    if len(parts) == 5 and not line.startswith('judge:'):
                        written.append((float(parts[0]), key_of(parts[2])))
                events = run([render, '--events', base + '-plain.mid'])
                ons, nths, offs = {}, {}, {}
                for line in events.splitlines():
                    parts = line.split()
                    if len(parts) == 5 and (int(parts[2], 16) & 0xF0 == 0x80 or (
                            int(parts[2], 16) & 0xF0 == 0x90 and not int(parts[4], 16))):
                        offs.setdefault((int(parts[2], 16) & 0x0F, int(parts[3], 16)), []).append(
                            int(parts[0]) / 1e6)
                    if len(parts) == 5 and int(parts[2], 16) & 0xF0 == 0x90 and int(parts[4], 16):
                        channel, key = int(parts[2], 16) & 0x0F, int(parts[3], 16)
                        nth = nths.get((channel, key), 0)
                        nths[(channel, key)] = nth + 1
                        ons.setdefault((round(int(parts[0]) / 1000), key), []).append(
                            (channel, nth))
                notes = []
                for seconds, key in written:
                    ms = round(seconds * 1000)
                    found = (ons.get((ms, key)) or ons.get((ms - 1, key)) or ons.get((ms + 1, key))
                             or [(None, None)])
                    notes.append((found[0][0], found[0][1], key))
                count = len(notes)
                spans = []  # each written note's start, end and key, for the reference
                for (seconds, key), (channel, nth, _) in zip(written, notes):
                    ends = offs.get((channel, key), [])
                    end = ends[nth] if nth is not None and nth < len(ends) else seconds + 0.25
                    spans.append((seconds, end, key))
                indices = list(range(1, count))
                random.shuffle(indices)
                detuned = {i: random.choice([-1, 1]) * random.randint(70, 150)
                           for i in indices[:max(2, count // 8)]}
                left_out = set(indices[max(2, count // 8):max(2, count // 8) + max(1, count // 12)])
                # Onsets up to 30 ms early or late; a repeated key only late, as an early start
                # would be ended by the note before's release.
                late = {}
                for i, (start, _, key) in enumerate(spans):
                    repeated = any(k == key and start - 0.04 < end <= start + 1e-3
                                   for _, end, k in spans[:i])
                    late[i] = round(random.uniform(0 if repeated else -30, 30) *
                                    ticks_per_ms(header, tracks))
                write_smf(base + '-sung.mid', header,
                          sung(plain, notes, detuned, left_out, octave, late))
                take = base + '.wav'
                run([render, '-o', base + '-voice.wav', '--solo', str(voice), '--soundfont',
                     soundfont, base + '-sung.mid'])
                samples, rate = read_wav(base + '-voice.wav')
                if bleed:
                    others = [v for v in range(1, 5) if v != voice]
                    run([render, '-o', base + '-others.wav', '--solo',
                         ','.join(map(str, others)), '--soundfont', soundfont,
                         base + '-plain.mid'])
                    rest, _ = read_wav(base + '-others.wav')
                    gain = 10 ** (-24 / 20)
                    size = max(len(samples), len(rest))
                    samples.extend([0] * (size - len(samples)))
                    for i, value in enumerate(rest):
                        samples[i] = max(-32768, min(32767, samples[i] + int(value * gain)))
                shift = round(abs(lead) * rate)
                if lead >= 0:
                    samples = array.array('h', [0] * shift) + samples
                else:
                    samples = samples[shift:]
                write_wav(take, samples, rate)
                out = run([render, '--judge', take, '--voice', str(voice), path])
                found_ms = int(re.search(r'offset_ms=(-?\d+)', out).group(1))
                verdicts = [line.split()[4] for line in out.splitlines()
                            if len(line.split()) == 5 and not line.startswith('judge:')]
                reference = reference_verdicts(take, spans, lead)
                wrong, right_before, total_before = [], right, total
                reference_right = 0
                for i, verdict in enumerate(verdicts):
                    cents = detuned.get(i, 0)
                    if lead < 0 and written[i][0] < -lead + 0.3:
                        total -= 1  # cut from the take, wholly or in part: either verdict
                        continue
                    truth = ('missed' if i in left_out
                             else 'sharp' if cents > 50 else 'flat' if cents < -50 else 'in-tune')
                    if reference and reference[i] == truth:
                        reference_right += 1
                    if verdict == truth:
                        right += 1
                    else:
                        wrong.append('%d:%s/%s' % (i, verdict, truth))
                total += len(verdicts)
                offsets.append((round(lead * 1000), found_ms))
                counted = total - total_before
                if reference:
                    REFERENCE[0] += reference_right
                    if reference_right >= 0.98 * counted:  # a take the reference hears well
                        REFERENCE[1] += right - right_before
                        REFERENCE[2] += counted
                print('take %2d %-12s %-9s %-40s v%d lead=%5d found=%5d err=%4d %s%s%s '
                      'right=%d/%d %s' % (
                          take_number, program_name, sf_name, song, voice, round(lead * 1000),
                          found_ms, found_ms - round(lead * 1000), 'vib ' if vibrato else '',
                          'oct ' if octave else '', 'bleed ' if bleed else '',
                          right - right_before, total - total_before,
                          ' '.join(wrong)) +
                      ('' if reference is None else ' reference=%d/%d' % (reference_right, counted)),
                      flush=True)
            ALL_OFFSETS.extend(f - t for t, f in offsets)
            worst = max(abs(f - t) for t, f in offsets)
            rows.append('%-12s %-9s offset errors (ms) %-24s worst %4d  verdicts %d/%d' % (
                program_name, sf_name, ' '.join('%+d' % (f - t) for t, f in offsets), worst,
                right, total))
    print()
    for row in rows:
        print(row)
    offsets_in = sum(1 for row in ALL_OFFSETS if abs(row) <= 30)
    right = sum(int(row.split()[-1].split('/')[0]) for row in rows)
    total = sum(int(row.split()[-1].split('/')[1]) for row in rows)
    print('judge-takes: offsets_within_30ms=%d/%d verdicts_right=%.1f%%' % (
        offsets_in, len(ALL_OFFSETS), 100.0 * right / max(1, total)))
    if REFERENCE[2]:
        print('reference told the offset: verdicts_right=%.1f%%; on the takes it gets 98 %%: '
              'ours %.1f%% (%d notes)' % (100.0 * REFERENCE[0] / max(1, total),
                                         100.0 * REFERENCE[1] / REFERENCE[2], REFERENCE[2]))


if __name__ == '__main__':
    main()
