import QtQuick 2.15
import Custom.VX.ffmpeg 1.0

// A signal's snapshot, stretched over the tile. While the tile is visible the snapshot
// board asks for its signal on every refresh tick (which keeps its stream coming) and
// hands the tile a picture only when a new one arrived, so an unchanged tile costs nothing.
SnapshotView {}
