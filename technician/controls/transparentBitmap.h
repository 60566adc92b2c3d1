// A static that paints a bitmap with one colour transparent. The mask is
// made once, from the first bitmap set (the colour of its pixel at (0, 0)),
// and serves every later bitmap: the communication indicator's two lamps
// share the mask of the first one shown.
#pragma once
#include <QBitmap>
#include <QPixmap>
#include <QWidget>

class transparentBitmap_t : public QWidget {
    Q_OBJECT
public:
    // With a bitmap resource id the bitmap is loaded and shown; with 0
    // nothing is shown until a bitmap is set.
    explicit transparentBitmap_t(QWidget* parent = nullptr, int bitmapId = 0);
    ~transparentBitmap_t() override;

    void setBitmap(const QPixmap& bitmap);
    const QPixmap& bitmap() const { return bitmap_; }
    // Null until the first bitmap was set.
    const QBitmap& mask() const { return mask_; }
    // The cache key of the bitmap shown (tests tell bitmaps apart by it).
    qint64 bitmapKey() const { return bitmap_.cacheKey(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap bitmap_;
    QBitmap mask_;
    bool hasMask_ = false;
};
