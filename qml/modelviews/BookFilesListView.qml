import QtQuick 2.13
import QtQuick.Controls 2.13

// The files of one product, live: rows follow the files model as downloads move on.
ListView {
    id: view

    clip: true
    boundsBehavior: Flickable.StopAtBounds
    spacing: 0

    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: qsTr("Scroll the files") }

    delegate: BookFileDelegate {
        objectName: "fileRow"
        width: view.width - 14
        serverFileName: model.serverFileName
        fileStatus: model.fileStatus
        downloadProgress: model.downloadProgress
        fileObject: model.fileObject
    }

    // The files model keeps the scroll position, so a product's details open where they were left.
    onModelChanged: if (model && model.contentY !== undefined) contentY = model.contentY
    onMovementEnded: if (model && model.contentY !== undefined) model.contentY = Math.round(contentY)
}
