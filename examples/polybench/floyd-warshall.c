/* floyd-warshall: shortest paths between all pairs of nodes, on integer
   path lengths. */
int N = 6;
int path[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (k = 0; k < N; k++)
    for (i = 0; i < N; i++)
      for (j = 0; j < N; j++)
#pragma latency [2][1]
        path[i][j] = path[i][j] < path[i][k] + path[k][j] ? path[i][j] : path[i][k] + path[k][j];
  return 0;
}
