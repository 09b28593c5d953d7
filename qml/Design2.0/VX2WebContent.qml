import QtQuick 2.15
import QtWebView 1.1

// The live part of a designed web view, loaded only where the platform's web engine runs.
WebView {
    onLoadingChanged: {
        if (loadRequest.status === WebView.LoadFailedStatus)
            console.warn("web page", loadRequest.url, "failed:", loadRequest.errorString)
    }
}
