#include "AccountScreens.h"

#include <QDialog>
#include <QUrl>

#include "ScreenSupport.h"
#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "processing/JobQueue.h"
#include "ui/account/LoginView.h"
#include "ui/shell/ContentView.h"

using ScreenSupport::save;
using ScreenSupport::settle;

bool renderAccountScreens(const QDir& out)
{
    JobQueue queue;
    bool ok = true;
    {
        AuthManager signedOut(std::chrono::milliseconds(500));
        ContentView view(signedOut, queue);
        view.resize(1100, 700);
        view.show();
        settle(1500); // the sample pictures are read in the background
        ok &= save(view, out, QStringLiteral("login.png"));
        view.loginView()->setShowLogin(true);
        ok &= save(view, out, QStringLiteral("login-popup.png"));
    }
    {
        AuthManager signingIn(std::chrono::milliseconds(500));
        signingIn.handle(QUrl(QStringLiteral("korvane://auth?token=fixture")));
        ContentView view(signingIn, queue);
        view.resize(1100, 700);
        view.show();
        ok &= save(view, out, QStringLiteral("signing-in.png"));
    }
    {
        // A token and a freshly cached profile: the split view at once.
        AccountStore::setCachedUser(
            R"({"userId":"7f3c2a","provider":"google","firstName":"Ada","lastName":"Lovelace",)"
            R"("email":"ada@example.org","status":"active","createdOn":"2026-03-14T09:26:53Z",)"
            R"("lastLogin":"2026-12-09T08:00:00Z"})");
        AccountStore::setLastCheck(QDateTime::currentDateTimeUtc());
        AuthManager signedIn(std::chrono::milliseconds(500));
        signedIn.handle(QUrl(QStringLiteral("korvane://auth?token=fixture")));
        ContentView view(signedIn, queue);
        view.resize(1100, 700);
        view.show();
        for (auto tab :
             {ContentView::Tab::Home, ContentView::Tab::Video, ContentView::Tab::Settings}) {
            view.setTab(tab);
            ok &= save(view, out,
                       QStringLiteral("split-%1.png").arg(ContentView::rawValue(tab).toLower()));
        }
        view.setShowProfile(true);
        ok &= save(*view.profileSheet(), out, QStringLiteral("profile-sheet.png"));
        view.setShowProfile(false);
        signedIn.signOut();
    }
    return ok;
}
