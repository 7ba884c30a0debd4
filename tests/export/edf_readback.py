"""Reads an EDF+ or BDF+ file with MNE-Python and reports what it found.

Usage: edf_readback.py FILE DATA_OUT

Prints one JSON object (channel names, units, sample frequency, measurement date, sample
count, annotations) and writes the signals as float64 values, channel after channel, to
DATA_OUT. Exits non-zero when MNE cannot read the file.
"""
import json
import sys

import mne


def main():
    path, data_out = sys.argv[1], sys.argv[2]
    reader = mne.io.read_raw_bdf if path.lower().endswith(".bdf") else mne.io.read_raw_edf
    raw = reader(path, preload=True, verbose="error")
    data = raw.get_data()
    data.astype("<f8").tofile(data_out)
    ann = raw.annotations
    meas_date = raw.info["meas_date"]
    print(json.dumps({
        "ch_names": raw.ch_names,
        "units": [raw._orig_units.get(name, "") for name in raw.ch_names],
        "sfreq": float(raw.info["sfreq"]),
        "meas_date": meas_date.isoformat() if meas_date is not None else None,
        "n_times": int(raw.n_times),
        "annotations": [[float(o), float(d), str(t)]
                        for o, d, t in zip(ann.onset, ann.duration, ann.description)],
    }))


if __name__ == "__main__":
    main()
