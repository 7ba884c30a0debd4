"""Opens SNIRF files with MNE-Python's reader and prints what it found, as JSON.

Usage: snirf_mne.py FILE...

For each file: the channel names and types, the sampling frequency, the measurement date,
the number of samples, the annotations (onset, description), the subject's first name, the
first sample of every channel (hexadecimal bits of the value), and the warnings raised.
"""
import json
import struct
import sys
import warnings

import mne


def number(v):
    return "%016x" % struct.unpack("<Q", struct.pack("<d", float(v)))[0]


def read(path):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        raw = mne.io.read_raw_snirf(path, preload=True, verbose="warning")
    first = raw.get_data()[:, 0]
    return {
        "ch_names": raw.ch_names,
        "ch_types": raw.get_channel_types(),
        "sfreq": float(raw.info["sfreq"]),
        "meas_date": raw.info["meas_date"].isoformat(),
        "n_times": int(raw.n_times),
        "annotations": [[float(a["onset"]), a["description"]] for a in raw.annotations],
        "subject": raw.info["subject_info"].get("first_name"),
        "first": [number(v) for v in first],
        "warnings": [str(w.message) for w in caught],
    }


json.dump([read(p) for p in sys.argv[1:]], sys.stdout)
