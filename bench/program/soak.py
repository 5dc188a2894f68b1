#!/usr/bin/env python3
"""A compressed day for the whole program, driven from outside.

KESTREL listens on the PulseAudio pipe microphone of a private session (see
soak.sh). This feeds it speech at the pace of real time: sentences that are not
in the command table, which go the not-found way, and now and then a CURSOR
command whose effect is read back from the X server. Every minute it prints the
program's resident memory, CPU time, threads and open files.

    soak.py PID FIFO MINUTES
    soak.py --write FILE MINUTES [SEED]

The second form writes the same feed (raw 16 kHz mono 16-bit) to a file instead,
at once, for kestrel_sphinx_hear to show what the recogniser makes of each
utterance: the noise floor differs from run to run, so a live run's surprise is
best looked for in several such files.
"""
import os
import random
import subprocess
import sys
import time

RATE = 16000
CHUNK = RATE // 10 * 2  # 100 ms of 16-bit samples

SENTENCES = [
    "what time is it", "the weather is nice today", "i would like a cup of coffee",
    "send an email to my brother", "turn off the lights in the kitchen",
    "how much does this cost", "my computer is very slow", "please call me back later",
    "the meeting starts at noon", "where did you put the keys", "good morning everybody",
    "let us go to the park", "remember to buy some milk", "thank you very much",
]
VOICES = ["en-us", "en-us+f3", "en-gb-x-rp"]
CHECK_PHRASE = "cursor one hundred comma two hundred"


def synthesise(text, voice):
    speech = subprocess.run(
        f"espeak-ng -v {voice} -s 160 --stdout '{text}' | "
        "sox -q -t wav - -r 16000 -c 1 -b 16 -e signed-integer -t raw -",
        shell=True, check=True, capture_output=True).stdout
    return quiet(1.5) + speech + quiet(1.5)


def quiet(seconds):
    # A low noise floor: exact digital silence is not what a microphone gives.
    return subprocess.run(
        ["sox", "-q", "-n", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", "-t", "raw", "-",
         "synth", str(seconds), "whitenoise", "vol", "0.003"],
        check=True, capture_output=True).stdout


def figures(pid):
    with open(f"/proc/{pid}/status") as f:
        status = dict(line.split(":", 1) for line in f if ":" in line)
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    return {
        "rss_mb": int(status["VmRSS"].split()[0]) / 1024,
        "cpu_s": cpu,
        "threads": int(status["Threads"]),
        "fds": len(os.listdir(f"/proc/{pid}/fd")),
    }


def pointer():
    out = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(values.get("X", -1)), int(values.get("Y", -1))


def clip_set():
    clips = {(s, v): synthesise(s, v) for s in SENTENCES for v in VOICES}
    return clips, synthesise(CHECK_PHRASE, "en-us")


def write_feed(path, minutes, seed):
    """The live feed's order, laid end to end: a check every five minutes from the first."""
    random.seed(seed)
    clips, check = clip_set()
    fed, next_check = 0.0, 60.0
    with open(path, "wb") as out, open(path + ".labels", "w") as labels:
        while fed < minutes * 60:
            if fed >= next_check:
                label, audio = f"en-us {CHECK_PHRASE}", check + quiet(3.0)
                next_check += 300
            else:
                key = random.choice(list(clips))
                label, audio = f"{key[1]} {key[0]}", clips[key]
            labels.write(f"{fed:8.2f} {fed + len(audio) / (2 * RATE):8.2f} {label}\n")
            out.write(audio)
            fed += len(audio) / (2 * RATE)
    print(f"{fed / 60:.1f} minutes written to {path}; {path}.labels says which clip is where")
    return 0


def main():
    if sys.argv[1] == "--write":
        return write_feed(sys.argv[2], float(sys.argv[3]), int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    pid, fifo, minutes = int(sys.argv[1]), sys.argv[2], float(sys.argv[3])
    random.seed(1)
    clips, check = clip_set()
    print(f"{len(clips)} clips; feeding for {minutes:g} minutes", flush=True)

    mic = open(fifo, "wb", buffering=0)
    start = time.monotonic()
    next_sample = start
    next_check = start + 60
    fed = 0.0
    spoken = 0
    checks = []
    first = None
    print(f"{'min':>5} {'rss MB':>8} {'cpu s':>8} {'cpu %':>6} {'threads':>7} {'fds':>5} {'phrases':>7}", flush=True)
    last_cpu, last_time = None, None

    def feed(audio):
        nonlocal fed
        for i in range(0, len(audio), CHUNK):
            mic.write(audio[i:i + CHUNK])
            fed += 0.1
            # Real time: PulseAudio's pipe source reads as fast as it is written.
            delay = start + fed - time.monotonic()
            if delay > 0:
                time.sleep(delay)

    while time.monotonic() - start < minutes * 60:
        now = time.monotonic()
        if now >= next_sample:
            if not os.path.exists(f"/proc/{pid}"):
                print("the program has ended", flush=True)
                return 1
            f = figures(pid)
            share = ""
            if last_cpu is not None:
                share = f"{100 * (f['cpu_s'] - last_cpu) / (now - last_time):6.1f}"
            last_cpu, last_time = f["cpu_s"], now
            # Growth is counted from the first minute: before it the program is
            # still loading its models and making its first grammar.
            if first is None and now - start >= 55:
                first = f
            print(f"{(now - start) / 60:5.1f} {f['rss_mb']:8.1f} {f['cpu_s']:8.1f} {share:>6} "
                  f"{f['threads']:7d} {f['fds']:5d} {spoken:7d}", flush=True)
            next_sample += 60
        if now >= next_check:
            subprocess.run(["xdotool", "mousemove", "700", "500"], check=True)
            feed(check)
            feed(quiet(3.0))  # the command is carried out after the phrase ends
            checks.append(pointer() == (100, 200))
            next_check += 300
            continue
        feed(clips[random.choice(list(clips))])
        spoken += 1

    last = figures(pid)
    first = first or last
    print(f"phrases fed: {spoken}; resident memory from minute 1 {first['rss_mb']:.1f} -> {last['rss_mb']:.1f} MB; "
          f"threads {first['threads']} -> {last['threads']}; open files {first['fds']} -> {last['fds']}")
    print(f"CURSOR checks carried out: {sum(checks)}/{len(checks)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
