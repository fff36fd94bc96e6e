#pragma once

#include <vector>

#include "view/GuiObj.h"
#include "view/RotatedRect.h"

// A set of point markers drawn as crosses, for example the corresponding points of an image
// pair or the feature points of a photograph. Points are in the coordinates of the set's
// layer (image pixels when the set lives on a bitmap).
class GuiPoints : public GuiObj {
public:
    GuiPoints();
    GuiPoints(const GuiPoints& other) = default;
    ~GuiPoints() override = default;

    GuiObj* Clone() const override { return new GuiPoints(*this); }
    // The bounding rectangle's centre goes to p; the points move along.
    void SetPosition(const PointD& p) override;
    PointD GetPosition() const override;
    // Turns the points about the bounding rectangle's centre to the new angle.
    void SetAngle(double radians) override;
    double GetAngle() const override { return bounds.Angle(); }
    // Scales the points' spread about the bounding rectangle's centre.
    void Scale(double sx, double sy) override;
    // To the nearest point; a set that may move, turn or resize also counts its bounding
    // rectangle's outline.
    double Distance(const PointD& p) const override;
    bool Contains(const PointD& p) const override { return Distance(p) < 10; }
    RectD BoundingRect(double margin) const override;
    void Update() override;
    void Draw(const CMatrix& transform) override;
    void DrawSelection(const GuiHandles& handles, const CMatrix& transform, const GuiColor& colour) override;
    void ComputeHandles(GuiHandles& handles, double size, const CMatrix& transform) const override;
    void Drag(const PointD& pointer, const PointD& grabOffset, int mode, int handle) override;
    void CreateGLResources() override {}
    void ReleaseGLResources() override {}

    int Count() const { return static_cast<int>(points.size()); }
    const PointD& Point(int k) const { return points.at(static_cast<size_t>(k)); }
    const std::vector<PointD>& Points() const { return points; }
    void SetPoints(const std::vector<PointD>& list);
    void AddPoint(const PointD& p);
    // False for an index outside the set.
    bool SetPoint(int k, const PointD& p);
    bool RemovePoint(int k);
    void Clear();

    // The selected point's index, kNoPoint for none.
    static constexpr int kNoPoint = -2;
    int SelectedPoint() const { return selected; }
    void SetSelectedPoint(int k) { selected = (k >= 0 && k < Count()) ? k : kNoPoint; }

    // While on, dragging a selected point moves that point alone.
    bool PointEditing() const { return editing; }
    void SetPointEditing(bool on) { editing = on; }

    // Half the length of a marker's arms in pixels (2 when created).
    double MarkerHalfSize() const { return halfSize; }
    void SetMarkerHalfSize(double h);
    double LineWidth() const { return lineWidth; }
    void SetLineWidth(double w);

    // The bounding rectangle of the points at the set's angle.
    const RotatedRect& Bounds() const;

protected:
    // The markers alone, for subclasses that draw more.
    void DrawMarkers(const CMatrix& transform);

private:
    void RecomputeBounds() const;
    void ShiftAll(const PointD& d);
    void ClampPoint(PointD& p) const;
    void ClampSetMove();
    void TurnTo(double radians);
    void ScaleAbout(const PointD& centre, double su, double sv);

    std::vector<PointD> points;
    mutable RotatedRect bounds;
    mutable bool boundsValid = false;
    int selected = kNoPoint;
    bool editing = false;
    double halfSize = 2.0;
    double lineWidth = 1.0;
};
