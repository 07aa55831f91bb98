// The category headings of the search screen, in the user's language and display order.
#include "runtime/ErrorHandling.h"
#include "mirel_SbF/Connector.h"
#include "criteria/Criteria.h"

namespace mirel_SbF {

std::shared_ptr<Recordset> Search::GetSbFHeadings() {
  return WithHandler("GetSbFHeadings", [&] {
    std::string sql;
    sql += "select distinct atxt.application_text, c.sbf_order_id ";
    sql += "from application_texts atxt ";
    sql += "inner join categories c on (c.category_name = atxt.text_id) ";
    sql += "inner join search_by_features sbf on (sbf.category = c.category_name) ";
    sql += SegmentJoin(*m);
    sql += "Where atxt.language_id = ";
    sql += std::to_string(m->m_lLanguageId);
    sql += " ";
    sql += "order by c.sbf_order_id";
    mirel_base::Connector connector;
    return connector.ExecuteQuery(sql, m->m_strProjectDbName, m->m_strDbConn);
  });
}

}  // namespace mirel_SbF
